// Layered windows: the system keeps its own copy of the picture a window is given and
// composes it by itself at every move, so the program never paints.
#include <windows.h>

#include "gdi/gdi_objects.h"
#include "kernel/memory.h"
#include "user/user_state.h"

using namespace platform::user;
namespace display = platform::display;

namespace platform::user {

bool PictureTakesInput(const Window& window, POINT point) {
  if (!window.picture) return false;
  const display::Picture& picture = *window.picture;
  int x = point.x - window.rect.left;
  int y = point.y - window.rect.top;
  if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return false;
  // Input passes through where the picture is fully transparent.
  return (picture.pixels[static_cast<size_t>(y) * picture.width + x] >> 24) != 0 &&
         picture.constant_alpha != 0;
}

}  // namespace platform::user

BOOL WINAPI UpdateLayeredWindow(HWND hwnd, HDC, POINT* destination, SIZE* size, HDC source_dc,
                                POINT* source_point, COLORREF, BLENDFUNCTION* blend, DWORD flags) {
  Window* window = LookupWindow(hwnd);
  if (!window || !(window->ex_style & WS_EX_LAYERED)) return FALSE;
  // Colour keys are outside this subset.
  if (flags & ~static_cast<DWORD>(ULW_ALPHA | ULW_OPAQUE)) return FALSE;
  SIZE extent{window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
  if (size) extent = *size;
  if (extent.cx <= 0 || extent.cy <= 0) return FALSE;

  if (source_dc) {
    const platform::gdi::Bitmap* bitmap = platform::gdi::SelectedBitmap(source_dc);
    POINT origin = source_point ? *source_point : POINT{0, 0};
    if (!bitmap || origin.x < 0 || origin.y < 0 || origin.x + extent.cx > bitmap->width ||
        origin.y + extent.cy > bitmap->height) {
      return FALSE;
    }
    auto picture = std::make_shared<display::Picture>();
    picture->width = extent.cx;
    picture->height = extent.cy;
    // Appended row by row: the copy is the only pass over the new pixels.
    picture->pixels.reserve(static_cast<size_t>(extent.cx) * extent.cy);
    platform::kernel::PrefaultForWrite(picture->pixels.data(),
                                       picture->pixels.capacity() * sizeof(uint32_t));
    for (int y = 0; y < extent.cy; ++y) {
      auto row = reinterpret_cast<const uint32_t*>(bitmap->Row(origin.y + y) + 4 * origin.x);
      picture->pixels.insert(picture->pixels.end(), row, row + extent.cx);
    }
    bool per_pixel_alpha = (flags & ULW_ALPHA) && blend && (blend->AlphaFormat & AC_SRC_ALPHA) &&
                           !(flags & ULW_OPAQUE);
    if (!per_pixel_alpha) {
      for (uint32_t& pixel : picture->pixels) pixel |= 0xFF000000u;
    }
    picture->constant_alpha = (flags & ULW_ALPHA) && blend ? blend->SourceConstantAlpha : 255;
    window->picture = picture;
    display::CurrentDisplay().SetPicture(reinterpret_cast<display::SurfaceId>(hwnd),
                                         std::move(picture));
  }

  POINT place = destination ? *destination : POINT{window->rect.left, window->rect.top};
  bool moved = place.x != window->rect.left || place.y != window->rect.top;
  bool resized = extent.cx != window->rect.right - window->rect.left ||
                 extent.cy != window->rect.bottom - window->rect.top;
  if (moved || resized) {
    SetWindowPos(hwnd, nullptr, place.x, place.y, extent.cx, extent.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE | (moved ? 0 : SWP_NOMOVE));
  }
  return TRUE;
}
