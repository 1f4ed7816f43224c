// x11-minimal: the least an Xlib program does to show what stripband shows, as the yardstick
// for its start-up (scripts/measure-x11). One 32-bit ARGB window, 1920 × 50 at (0, 511), whose
// background is a premultiplied picture (yellow at 120/255 with a dark line on row 3), mapped
// and raised; then it waits for events until it is killed.
//
// `x11-minimal-png PNG`, built from this file with X11_MINIMAL_PNG, first decodes PNG with
// libpng's simplified API and shows its top 50 rows instead: the yardstick for a program that
// must decode a stored picture before showing it. x11-minimal itself does not load libpng.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#ifdef X11_MINIMAL_PNG
#include <png.h>
#include <sys/mman.h>
#endif
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

enum { kWidth = 1920, kHeight = 50, kTop = 511, kAlpha = 120 };

#ifndef X11_MINIMAL_PNG
static uint32_t Premultiplied(unsigned r, unsigned g, unsigned b) {
  return (uint32_t)kAlpha << 24 | (r * kAlpha / 255) << 16 | (g * kAlpha / 255) << 8 |
         (b * kAlpha / 255);
}
#endif

#ifdef X11_MINIMAL_PNG
// The top rows of the PNG file at `path`, premultiplied and at kAlpha, over `pixels`.
static int Decode(const char* path, uint32_t* pixels) {
  png_image png = {0};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path)) return 0;
  png.format = PNG_FORMAT_BGRA;
  // Its pages faulted in at once, as the band does for its pictures: page faults are dear on
  // virtual machines, and the yardstick should not pay more for them than the band.
  size_t size = PNG_IMAGE_SIZE(png);
  uint8_t* decoded =
      mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (decoded == MAP_FAILED || !png_image_finish_read(&png, NULL, decoded, 0, NULL)) return 0;
  for (unsigned y = 0; y < kHeight && y < png.height; ++y) {
    for (unsigned x = 0; x < kWidth && x < png.width; ++x) {
      const uint8_t* p = decoded + 4 * ((size_t)y * png.width + x);
      unsigned a = p[3] * kAlpha / 255;
      pixels[y * kWidth + x] =
          (uint32_t)a << 24 | (p[2] * a / 255) << 16 | (p[1] * a / 255) << 8 | (p[0] * a / 255);
    }
  }
  munmap(decoded, size);
  return 1;
}

#endif

int main(int argc, char** argv) {
  Display* x = XOpenDisplay(NULL);
  if (!x) {
    fprintf(stderr, "x11-minimal: cannot open the display\n");
    return 1;
  }
  XVisualInfo visual;
  if (!XMatchVisualInfo(x, DefaultScreen(x), 32, TrueColor, &visual)) {
    fprintf(stderr, "x11-minimal: no 32-bit visual\n");
    return 1;
  }
  Window root = DefaultRootWindow(x);
  XSetWindowAttributes attributes = {0};
  attributes.colormap = XCreateColormap(x, root, visual.visual, AllocNone);
  attributes.border_pixel = 0;
  Window window = XCreateWindow(x, root, 0, kTop, kWidth, kHeight, 0, 32, InputOutput,
                                visual.visual, CWColormap | CWBorderPixel, &attributes);

  // Who we are, so that the measuring script finds the window.
  long pid = getpid();
  XChangeProperty(x, window, XInternAtom(x, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  (unsigned char*)&pid, 1);

  uint32_t* pixels = calloc((size_t)kWidth * kHeight, sizeof(uint32_t));
#ifdef X11_MINIMAL_PNG
  if (argc < 2 || !Decode(argv[1], pixels)) {
    fprintf(stderr, "x11-minimal-png: cannot decode %s\n", argc < 2 ? "(no file given)" : argv[1]);
    return 1;
  }
#else
  (void)argc;
  (void)argv;
  for (int i = 0; i < kWidth * kHeight; ++i) {
    pixels[i] = i / kWidth == 3 ? Premultiplied(40, 40, 40) : Premultiplied(255, 255, 0);
  }
#endif
  XImage* image = XCreateImage(x, visual.visual, 32, ZPixmap, 0, (char*)pixels, kWidth, kHeight, 32,
                               kWidth * 4);
  // The words are in the host's byte order; Xlib converts them for the server.
  const uint16_t probe = 1;
  image->byte_order = *(const uint8_t*)&probe ? LSBFirst : MSBFirst;
  Pixmap picture = XCreatePixmap(x, window, kWidth, kHeight, 32);
  GC gc = XCreateGC(x, picture, 0, NULL);
  XPutImage(x, picture, gc, image, 0, 0, 0, 0, kWidth, kHeight);
  XSetWindowBackgroundPixmap(x, window, picture);
  XMapRaised(x, window);
  XFlush(x);

  for (;;) {
    XEvent event;
    XNextEvent(x, &event);
  }
}
