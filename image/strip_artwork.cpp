#include "image/strip_image.h"

ToolkitImage* DecodeStripArtwork() { return DecodeImage(StripArtworkPng, StripArtworkPngSize); }
