//===- win32ui/progress_dialog.cpp - The run's progress window -------------===//

#include "win32ui/progress_dialog.h"

#include "desktop/display_text.h"
#include "engine/run_messages.h"
#include "win32ui/dialog_layout.h"
#include "win32ui/messages.h"
#include "win32ui/path_line.h"
#include "win32ui/resource_ids.h"
#include "win32ui/window_text.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace {

/// Posted to the window after a DPI change has resized it: the path lines
/// are cut again to their new width.
constexpr UINT kCutPathsAgain = WM_APP + 1;

} // namespace

ProgressDialog::ProgressDialog(HWND mainWindow) : mainWindow(mainWindow) {}

ProgressDialog::~ProgressDialog() { Destroy(); }

bool ProgressDialog::Create() {
  Destroy();
  stopRequested = false;
  diskRange = BarRange();
  fileRange = BarRange();
  // Every text comes back at its template value with the new window.
  window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS), mainWindow,
                              Procedure, reinterpret_cast<LPARAM>(this));
  return window != nullptr;
}

void ProgressDialog::Destroy() {
  if (!window)
    return;
  diskLine.reset();
  fileLine.reset();
  HWND destroyed = std::exchange(window, nullptr);
  DestroyWindow(destroyed);
}

void ProgressDialog::Show() {
  if (!window)
    return;
  ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);
  // Stop, the window's only tab stop, holds the focus, so Enter stops too.
  SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDCANCEL)), TRUE);
}

INT_PTR CALLBACK ProgressDialog::Procedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    FitLabels(window);
    auto *self = reinterpret_cast<ProgressDialog *>(lParam);
    self->diskLine.emplace(GetDlgItem(window, IDC_DISK_TEXT));
    self->fileLine.emplace(GetDlgItem(window, IDC_FILE_TEXT));
    return FALSE; // Show gives Stop the focus
  }
  auto *self = reinterpret_cast<ProgressDialog *>(GetWindowLongPtrW(window, DWLP_USER));
  if (!self)
    return FALSE;
  switch (message) {
  case WM_COMMAND:
    // The Stop button, Escape, the close box and the system menu's Close
    // all arrive as the cancel command.
    if (LOWORD(wParam) == IDCANCEL) {
      self->Cancel();
      return TRUE;
    }
    return LOWORD(wParam) == IDOK; // Enter away from Stop does nothing
  case WM_DPICHANGED:
    PostMessageW(window, kCutPathsAgain, 0, 0);
    return FALSE; // the dialog's default handling scales the window
  case kCutPathsAgain:
    if (self->diskLine && self->fileLine) {
      self->diskLine->Refit();
      self->fileLine->Refit();
    }
    return TRUE;
  }
  return FALSE;
}

void ProgressDialog::Cancel() {
  stopRequested = true;
  if (window)
    ShowWindow(window, SW_HIDE); // hidden, not destroyed: the run destroys it
}

void ProgressDialog::EndSession() {
  sessionEnded = true;
  Cancel();
}

void ProgressDialog::SetCaption(const char *text) {
  if (window)
    SetWindowTextW(window, DisplayWide(text).c_str());
}

void ProgressDialog::SetBarRange(int id, BarRange &range, int count) {
  range.count = std::max(count, 0);
  if (!window)
    return;
  HWND bar = GetDlgItem(window, id);
  SendMessageW(bar, PBM_SETRANGE32, 0, std::max(range.count, 1));
  SendMessageW(bar, PBM_SETPOS, 0, 0);
}

void ProgressDialog::SetBarPosition(int id, const BarRange &range, int position) {
  if (!window)
    return;
  const int shown =
      range.count == 0 ? (position >= 0 ? 1 : 0) : std::clamp(position, 0, range.count);
  SendMessageW(GetDlgItem(window, id), PBM_SETPOS, static_cast<WPARAM>(shown), 0);
}

void ProgressDialog::SetDiskRange(int count) { SetBarRange(IDC_DISK_BAR, diskRange, count); }
void ProgressDialog::SetDiskPosition(int position) {
  SetBarPosition(IDC_DISK_BAR, diskRange, position);
}
void ProgressDialog::SetFileRange(int count) { SetBarRange(IDC_FILE_BAR, fileRange, count); }
void ProgressDialog::SetFilePosition(int position) {
  SetBarPosition(IDC_FILE_BAR, fileRange, position);
}

void ProgressDialog::SetDiskText(const char *text) {
  if (diskLine)
    diskLine->Show(DisplayWide(text));
}

void ProgressDialog::SetFileText(const char *text) {
  if (fileLine)
    fileLine->Show(DisplayWide(text));
}

void ProgressDialog::SetPhase(RunPhase phase) {
  if (window)
    SetControlText(window, IDC_STATUS_TEXT, DisplayText(PhaseText(phase)));
}

void ProgressDialog::SetCounters(const RunStatistics &statistics) {
  if (!window)
    return;
  const std::pair<CounterField, int> fields[] = {
      {CounterField::totalFiles, IDC_TOTAL_FILES},
      {CounterField::documentFiles, IDC_DOCUMENT_FILES},
      {CounterField::compressedFiles, IDC_COMPRESSED_FILES},
      {CounterField::bytesBefore, IDC_BYTES_BEFORE},
      {CounterField::bytesAfter, IDC_BYTES_AFTER},
      {CounterField::bytesReduced, IDC_BYTES_REDUCED},
      {CounterField::ratio, IDC_RATIO},
  };
  for (const auto &[field, id] : fields)
    SetControlText(window, id, DisplayText(FormatCounter(field, statistics).CStr()));
}

void ProgressDialog::PumpMessages() {
  // Painting and the Stop button are served here; the main window is
  // disabled, so nothing else can start. A quit request is taken out of the
  // queue and held: posted again now, it would be met by every pump until
  // the run ends.
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quitCode = static_cast<int>(message.wParam);
      break;
    }
    if (window && IsDialogMessageW(window, &message))
      continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void ProgressDialog::ShowMessage(const char *text) {
  if (sessionEnded)
    return;
  // Owned by the active window: this window while it is on screen, else the
  // main window when it is enabled. A message shown while the main window is
  // disabled and this one hidden (after Stop) gets no owner, since a box
  // owned by a disabled window could not be answered.
  HWND owner = nullptr;
  if (window && IsWindowVisible(window))
    owner = window;
  else if (mainWindow && IsWindowEnabled(mainWindow))
    owner = mainWindow;
  ShowWarning(owner, DisplayText(text));
}

void ProgressDialog::EnableMainWindow(bool enable) {
  if (mainWindow)
    EnableWindow(mainWindow, enable ? TRUE : FALSE);
}
