//===- win32ui/about_dialog.cpp - The About box ----------------------------===//

#include "win32ui/about_dialog.h"

#include "win32ui/dialog_layout.h"
#include "win32ui/messages.h"
#include "win32ui/resource_ids.h"
#include "win32ui/shell_open.h"
#include "win32ui/window_text.h"

#include <algorithm>

void AboutDialog::Show(HWND owner) {
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, Procedure, 0);
}

INT_PTR CALLBACK AboutDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
  case WM_INITDIALOG:
    FitLabels(window);
    CenterOver(window, GetWindow(window, GW_OWNER));
    return TRUE; // the focus goes to OK, the default button
  case WM_COMMAND:
    switch (LOWORD(wParam)) {
    case IDOK:
    case IDCANCEL:
      EndDialog(window, LOWORD(wParam));
      return TRUE;
    case IDC_WEB_PAGE:
    case IDC_MAIL:
      if (HIWORD(wParam) == BN_CLICKED)
        OpenLink(window, LOWORD(wParam));
      return TRUE;
    }
    break;
  }
  return FALSE;
}

void AboutDialog::OpenLink(HWND window, int id) {
  const std::wstring link = WindowText(GetDlgItem(window, id));
  if (!OpenWithDesktop(window, link))
    ShowWarning(window, "No program on this desktop opens this link:\n" + Utf8Text(link));
}

void CenterOver(HWND window, HWND over) {
  RECT box;
  GetWindowRect(window, &box);
  RECT area;
  if (over && IsWindowVisible(over) && !IsIconic(over))
    GetWindowRect(over, &area);
  else
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  // Kept on the monitor the centre falls on.
  const POINT centre = {x + width / 2, y + height / 2};
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  if (GetMonitorInfoW(MonitorFromPoint(centre, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT &work = monitor.rcWork;
    x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - width));
    y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - height));
  }
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
