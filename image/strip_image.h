// The band's picture: the stored artwork, the canvas composed from it, and its hand-over to
// the window manager as the window's layered picture.
#pragma once

#include <windows.h>

#include "toolkit/image_toolkit.h"

// The stored artwork, a PNG stream carried in the program's data.
extern const unsigned char StripArtworkPng[];
extern const int StripArtworkPngSize;

ToolkitImage* DecodeStripArtwork();
// The canvas, the size of the band and fully transparent.
ToolkitImage* CreateStripCanvas();
// Draws the artwork's top rows onto the canvas; nothing when drawing cannot begin.
void ComposeStripCanvas(ToolkitImage* canvas, ToolkitImage* artwork);
// Makes the window layered and hands it the canvas; from then on the system shows it.
void PresentStrip(HWND window, ToolkitImage* canvas);
