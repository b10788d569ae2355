//===- win32ui/shell_open.cpp - Hand a page, address or mail link on -------===//

#include "win32ui/shell_open.h"

#include <shellapi.h>

bool OpenWithDesktop(HWND owner, const std::wstring &target) {
  SHELLEXECUTEINFOW request = {};
  request.cbSize = sizeof request;
  // The program says itself what failed, naming the target, so the
  // shell's own error box is not wanted as well.
  request.fMask = SEE_MASK_FLAG_NO_UI;
  request.hwnd = owner;
  request.lpVerb = L"open";
  request.lpFile = target.c_str();
  // Shown normally: a handler started hidden would leave the user with
  // nothing on screen.
  request.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&request))
    return false;
  // As ShellExecuteW answers: a value above 32 is success.
  return reinterpret_cast<INT_PTR>(request.hInstApp) > 32;
}
