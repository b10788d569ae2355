//===- win32ui/progress_dialog.h - The run's progress window ---------------===//
///
/// \file
/// ProgressDialog is the window a run writes into, a modeless dialog from
/// template IDD_PROGRESS: two bars, the disk, status and file lines, the
/// seven counters and the Stop button. It implements the engine's
/// ProgressView, so it also carries the few desktop services a run needs:
/// the message pump, the modal message and disabling the main window.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "engine/progress_view.h"

#include <windows.h>

class ProgressDialog : public ProgressView {
public:
  /// `mainWindow` owns the window, is disabled for the run and owns the
  /// messages shown before the window exists. Nothing is created yet.
  explicit ProgressDialog(HWND mainWindow);
  ~ProgressDialog() override;
  ProgressDialog(const ProgressDialog &) = delete;
  ProgressDialog &operator=(const ProgressDialog &) = delete;

  // ProgressView: see engine/progress_view.h.
  bool Create() override;
  void Destroy() override;
  void Show() override;
  void SetCaption(const char *text) override;
  void SetDiskRange(int count) override;
  void SetDiskPosition(int position) override;
  void SetFileRange(int count) override;
  void SetFilePosition(int position) override;
  void SetDiskText(const char *text) override;
  void SetFileText(const char *text) override;
  void SetPhase(RunPhase phase) override;
  void SetCounters(const RunStatistics &statistics) override;
  bool StopRequested() const override { return stopRequested; }
  void PumpMessages() override;
  void ShowMessage(const char *text) override;
  void EnableMainWindow(bool enable) override;

  /// The session ends (WM_QUERYENDSESSION / WM_ENDSESSION reached the main
  /// window): the run stops as with Stop, and no message is shown from now
  /// on, since nobody is left to answer it.
  void EndSession();
  /// The dialog's window while it exists, else null.
  HWND Window() const { return window; }

private:
  HWND mainWindow;
  HWND window = nullptr;
  bool stopRequested = false;
  bool sessionEnded = false;
};
