// DIB sections, memory device contexts and the calls that handle them.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "gdi/gdi_objects.h"
#include "kernel/memory.h"

namespace platform::gdi {
namespace {

struct DeviceContext {
  HGDIOBJ selected = nullptr;
};

// A new memory DC holds this one-pixel monochrome bitmap until another is selected.
const HGDIOBJ kStockBitmap = reinterpret_cast<HGDIOBJ>(0x0A000004);

struct Objects {
  std::map<HGDIOBJ, Bitmap> bitmaps;
  std::map<HDC, DeviceContext> dcs;
  uintptr_t next_handle = 0x0A000010;
  int failing_bitmaps = 0;

  template <typename Handle>
  Handle NewHandle() {
    next_handle += 0x10;
    return reinterpret_cast<Handle>(next_handle);
  }
};

Objects& TheObjects() {
  static Objects objects;
  return objects;
}

Bitmap* FindBitmap(HGDIOBJ handle) {
  auto& bitmaps = TheObjects().bitmaps;
  auto it = bitmaps.find(handle);
  return it == bitmaps.end() ? nullptr : &it->second;
}

DeviceContext* FindDc(HDC dc) {
  auto& dcs = TheObjects().dcs;
  auto it = dcs.find(dc);
  return it == dcs.end() ? nullptr : &it->second;
}

}  // namespace

const Bitmap* SelectedBitmap(HDC dc) {
  DeviceContext* context = FindDc(dc);
  return context ? FindBitmap(context->selected) : nullptr;
}

void FailNextBitmaps(int count) { TheObjects().failing_bitmaps = count; }

size_t LiveBitmaps() { return TheObjects().bitmaps.size(); }
size_t LiveDeviceContexts() { return TheObjects().dcs.size(); }

}  // namespace platform::gdi

using namespace platform::gdi;

HBITMAP WINAPI CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, VOID** bits,
                                HANDLE section, DWORD offset) {
  if (bits) *bits = nullptr;
  if (!info || usage != DIB_RGB_COLORS || section || offset) return nullptr;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  // This subset makes 32-bit BI_RGB sections only.
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biBitCount != 32 ||
      header.biCompression != BI_RGB || header.biPlanes != 1 || header.biWidth <= 0 ||
      header.biHeight == 0 || header.biWidth > 0x7FFF || header.biHeight > 0x7FFF ||
      header.biHeight < -0x7FFF) {
    return nullptr;
  }
  if (TheObjects().failing_bitmaps > 0) {
    --TheObjects().failing_bitmaps;
    return nullptr;
  }
  Bitmap bitmap;
  bitmap.header = header;
  bitmap.header.biSize = sizeof(BITMAPINFOHEADER);
  bitmap.width = header.biWidth;
  bitmap.height = header.biHeight > 0 ? header.biHeight : -header.biHeight;
  bitmap.stride = bitmap.width * 4;
  size_t size = static_cast<size_t>(bitmap.stride) * bitmap.height;
  bitmap.header.biSizeImage = static_cast<DWORD>(size);
  // NOTE: calloc takes large blocks as fresh zero pages from the system, so a section costs
  // memory only where it is written, as on Windows; zero-filling here would commit it all at
  // once, 4 GiB for a picture whose header claims 32767 × 32767 pixels.
  bitmap.bits.reset(static_cast<uint8_t*>(std::calloc(size, 1)));
  if (!bitmap.bits) return nullptr;
  platform::kernel::PrefaultForWrite(bitmap.bits.get(), size);
  HBITMAP handle = TheObjects().NewHandle<HBITMAP>();
  if (bits) *bits = bitmap.bits.get();
  TheObjects().bitmaps.emplace(handle, std::move(bitmap));
  return handle;
}

HDC WINAPI CreateCompatibleDC(HDC dc) {
  if (dc && !FindDc(dc)) return nullptr;
  HDC handle = TheObjects().NewHandle<HDC>();
  TheObjects().dcs.emplace(handle, DeviceContext{kStockBitmap});
  return handle;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
  DeviceContext* context = FindDc(dc);
  if (!context) return nullptr;
  Bitmap* bitmap = FindBitmap(object);
  if (!bitmap && object != kStockBitmap) return nullptr;
  // A bitmap lives in one DC at a time.
  if (bitmap && bitmap->selected_into && bitmap->selected_into != dc) return nullptr;
  HGDIOBJ previous = context->selected;
  if (Bitmap* old = FindBitmap(previous)) old->selected_into = nullptr;
  context->selected = object;
  if (bitmap) bitmap->selected_into = dc;
  return previous;
}

BOOL WINAPI DeleteDC(HDC dc) {
  DeviceContext* context = FindDc(dc);
  if (!context) return FALSE;
  if (Bitmap* bitmap = FindBitmap(context->selected)) bitmap->selected_into = nullptr;
  TheObjects().dcs.erase(dc);
  return TRUE;
}

int WINAPI GetObjectA(HANDLE handle, int size, LPVOID out) {
  if (handle == kStockBitmap) {
    if (!out) return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP stock{0, 1, 1, 2, 1, 1, nullptr};
    std::memcpy(out, &stock, sizeof(stock));
    return sizeof(BITMAP);
  }
  const Bitmap* bitmap = FindBitmap(handle);
  if (!bitmap) return 0;
  DIBSECTION section{};
  section.dsBm =
      BITMAP{0, bitmap->width, bitmap->height, bitmap->stride, 1, 32, bitmap->bits.get()};
  section.dsBmih = bitmap->header;
  if (!out) return sizeof(DIBSECTION);
  if (size >= static_cast<int>(sizeof(DIBSECTION))) {
    std::memcpy(out, &section, sizeof(DIBSECTION));
    return sizeof(DIBSECTION);
  }
  if (size >= static_cast<int>(sizeof(BITMAP))) {
    std::memcpy(out, &section.dsBm, sizeof(BITMAP));
    return sizeof(BITMAP);
  }
  return 0;
}

DWORD WINAPI GetObjectType(HGDIOBJ handle) {
  if (handle == kStockBitmap || FindBitmap(handle)) return OBJ_BITMAP;
  if (FindDc(static_cast<HDC>(handle))) return OBJ_MEMDC;
  return 0;
}

BOOL WINAPI DeleteObject(HGDIOBJ handle) {
  if (handle == kStockBitmap) return TRUE;  // stock objects stay
  Bitmap* bitmap = FindBitmap(handle);
  // A bitmap still selected into a DC cannot be deleted.
  if (!bitmap || bitmap->selected_into) return FALSE;
  TheObjects().bitmaps.erase(handle);
  return TRUE;
}
