//===- win32ui/about_dialog.h - The About box ------------------------------===//
///
/// \file
/// AboutDialog names the program and its version and offers two buttons that
/// hand the maker's web page and mail address to the desktop. Each button
/// shows its own target as its caption, and exactly that text is opened.
/// The box is modal, centred over the window that opens it.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <windows.h>

class AboutDialog {
public:
  /// Shows the box (template IDD_ABOUT) until OK, Escape or the close box
  /// ends it; `owner` is disabled meanwhile.
  static void Show(HWND owner);

private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  /// Hands the caption of link button `id` to the desktop; the box stays
  /// open. When nothing on the desktop opens it, a message names the link.
  static void OpenLink(HWND window, int id);
};

/// Centres `window` over `over` (its owner), kept inside the work area of
/// the monitor it lands on.
void CenterOver(HWND window, HWND over);
