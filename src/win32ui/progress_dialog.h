//===- win32ui/progress_dialog.h - The run's progress window ---------------===//
///
/// \file
/// ProgressDialog is the window a run writes into, a modeless dialog from
/// template IDD_PROGRESS owned by the main window: two bars, the disk,
/// status and file lines, the seven counters and the Stop button. It
/// implements the engine's ProgressView, so it also carries the few desktop
/// services a run needs: the message pump, the modal message and disabling
/// the main window.
///
/// Stop, Escape and the close box set the stop flag and hide the window at
/// once; the run notices the flag at its next poll and destroys the window.
/// A request to quit the program (WM_QUIT) that the pump meets is held until
/// the run has ended (QuitRequested).
///
//===----------------------------------------------------------------------===//
#pragma once

#include "engine/progress_view.h"
#include "win32ui/path_line.h"

#include <optional>
#include <string>

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
  /// The exit code of a WM_QUIT the pump took out of the queue during the
  /// run; the caller posts it again once the run has ended.
  std::optional<int> QuitRequested() const { return quitCode; }

private:
  /// A bar's range as the run counts it. An empty range (0..0) is shown as
  /// 0..1: empty until the run says it reached the end, then full.
  struct BarRange {
    int count = 100;
  };
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  /// Stop, Escape, the close box: ask the run to stop and hide at once.
  void Cancel();
  void SetBarRange(int id, BarRange &range, int count);
  void SetBarPosition(int id, const BarRange &range, int position);

  HWND mainWindow;
  HWND window = nullptr;
  bool stopRequested = false;
  bool sessionEnded = false;
  std::optional<int> quitCode;
  BarRange diskRange;
  BarRange fileRange;
  /// The disk and file lines while the window exists: each path is cut in
  /// the middle to its line, so that its last part always shows.
  std::optional<PathLine> diskLine;
  std::optional<PathLine> fileLine;
};
