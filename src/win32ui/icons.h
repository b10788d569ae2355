//===- win32ui/icons.h - The program's icons at the screen's DPI -----------===//
///
/// \file
/// The program is aware of each monitor's DPI, so its icons are loaded at
/// the size the window's DPI asks for (16 and 32 pixels at 96 DPI), picked
/// from the sizes the icon resources hold.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <windows.h>

/// The DPI of the monitor `window` is on (96 where Windows cannot tell).
UINT WindowDpi(HWND window);

/// A small icon's side (a list's images, a caption's icon) at `dpi`.
int SmallIconSize(UINT dpi);

/// A large icon's side (the task switcher's) at `dpi`.
int LargeIconSize(UINT dpi);

/// Icon resource `id` of the program at `size` pixels; the caller destroys
/// it with DestroyIcon. Null when it cannot be loaded.
HICON LoadProgramIcon(int id, int size);

/// An icon handle destroyed with its holder.
class OwnedIcon {
public:
  OwnedIcon() = default;
  explicit OwnedIcon(HICON icon) : icon(icon) {}
  ~OwnedIcon() { Reset(); }
  OwnedIcon(const OwnedIcon &) = delete;
  OwnedIcon &operator=(const OwnedIcon &) = delete;

  void Reset(HICON replacement = nullptr) {
    if (icon)
      DestroyIcon(icon);
    icon = replacement;
  }
  HICON Get() const { return icon; }

private:
  HICON icon = nullptr;
};
