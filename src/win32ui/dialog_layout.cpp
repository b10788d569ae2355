//===- win32ui/dialog_layout.cpp - Labels that show their whole text -------===//

#include "win32ui/dialog_layout.h"

#include "win32ui/window_text.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Control {
  HWND window;
  RECT rect; ///< in the dialog's client coordinates
};

std::vector<Control> ChildControls(HWND dialog) {
  std::vector<Control> controls;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&rect), 2);
    controls.push_back({child, rect});
  }
  return controls;
}

bool IsLeftAlignedText(HWND control) {
  wchar_t className[16] = {};
  GetClassNameW(control, className, 16);
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  return lstrcmpiW(className, L"Static") == 0 && (style & SS_TYPEMASK) == SS_LEFT;
}

/// The width the control's text takes on one line in its font.
int TextWidth(HWND control) {
  const std::wstring text = WindowText(control);
  HDC dc = GetDC(control);
  HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT bounds = {};
  const UINT prefix = (GetWindowLongW(control, GWL_STYLE) & SS_NOPREFIX) ? DT_NOPREFIX : 0;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
            DT_CALCRECT | DT_SINGLELINE | prefix);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return bounds.right - bounds.left;
}

} // namespace

void FitLabels(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  // The usual margin of a dialog's content from its right edge.
  RECT margin = {0, 0, 7, 0};
  MapDialogRect(dialog, &margin);
  const std::vector<Control> controls = ChildControls(dialog);
  for (const Control &label : controls) {
    if (!IsLeftAlignedText(label.window))
      continue;
    const int width = label.rect.right - label.rect.left;
    const int needed = TextWidth(label.window);
    if (needed <= width)
      continue;
    // As far as the next control that shares the label's line, or the
    // dialog's margin.
    LONG limit = client.right - margin.right;
    for (const Control &other : controls) {
      const bool sameLine =
          other.rect.top < label.rect.bottom && other.rect.bottom > label.rect.top;
      if (other.window != label.window && sameLine && other.rect.left >= label.rect.right)
        limit = std::min(limit, other.rect.left - 1);
    }
    const int widened = std::min<int>(needed, limit - label.rect.left);
    if (widened > width)
      SetWindowPos(label.window, nullptr, 0, 0, widened, label.rect.bottom - label.rect.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}
