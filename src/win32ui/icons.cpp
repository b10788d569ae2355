//===- win32ui/icons.cpp - The program's icons at the screen's DPI ---------===//

#include "win32ui/icons.h"

namespace {

constexpr UINT kDefaultDpi = 96;

} // namespace

UINT WindowDpi(HWND window) {
  // GetDpiForWindow exists from Windows 10 (1607) on; looked up at run time
  // so the program still starts on older systems, which have one DPI for
  // the whole screen.
  using DpiForWindow = UINT(WINAPI *)(HWND);
  static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (dpiForWindow && window) {
    if (const UINT dpi = dpiForWindow(window); dpi != 0)
      return dpi;
  }
  UINT dpi = kDefaultDpi;
  if (HDC screen = GetDC(nullptr)) {
    dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
  }
  return dpi != 0 ? dpi : kDefaultDpi;
}

int SmallIconSize(UINT dpi) { return MulDiv(16, static_cast<int>(dpi), kDefaultDpi); }

int LargeIconSize(UINT dpi) { return MulDiv(32, static_cast<int>(dpi), kDefaultDpi); }

HICON LoadProgramIcon(int id, int size) {
  return static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
}
