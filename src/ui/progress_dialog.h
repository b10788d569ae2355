//===- ui/progress_dialog.h - The run's progress window --------------------===//
///
/// \file
/// ProgressDialog is the window a run writes into: two bars (base entries,
/// candidates of the current entry), the disk, status and file lines, the
/// seven counters, and the Stop button. It implements the engine's
/// ProgressView, so it also carries the few desktop services a run needs: the
/// event pump, the modal message and disabling the main window.
///
/// The window is a top-level window of its own, not a child of the main
/// window: the main window is disabled for the length of a run, and Qt would
/// disable its child windows with it. It is made transient for the main
/// window instead, so the desktop keeps it above and centred on it.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "engine/progress_view.h"
#include "ui_progress_dialog.h"

#include <QDialog>

class QProgressBar;

class ProgressDialog : public QDialog, public ProgressView {
  Q_OBJECT

public:
  /// `mainWindow` is the window the run disables and the owner of messages
  /// shown before the progress window exists. Nothing is shown yet.
  explicit ProgressDialog(QWidget *mainWindow);
  ~ProgressDialog() override;

  // ProgressView.
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

  /// The generated form, for the tests that read what the window shows.
  const Ui::ProgressDialog &Form() const { return ui; }

public slots:
  /// Stop, Escape and the close box: ask the run to stop and hide at once.
  /// The window is not destroyed; the run notices the flag at its next poll.
  void reject() override;
  /// The session ends: the run stops as with Stop, and no message is shown
  /// from now on, since nobody is left to answer it.
  void EndSession();

private:
  /// A bar's range as the run counts it. QProgressBar shows a busy animation
  /// for the range 0..0, so an empty range is shown as 0..1: empty until the
  /// run says it reached the end.
  struct BarRange {
    int count = 100;
  };
  static void SetBarRange(QProgressBar *bar, BarRange &range, int count);
  static void SetBarPosition(QProgressBar *bar, const BarRange &range, int position);
  /// Puts back the texts, bars and flag the window has when it is created.
  void ResetToTemplate();
  /// Sizes the fixed parts of the window from its font, so the window keeps
  /// its proportions at any font size and long paths are shortened rather
  /// than widening it.
  void ApplyFontMetrics();

  Ui::ProgressDialog ui;
  QWidget *mainWindow;
  bool stopRequested = false;
  bool sessionEnded = false;
  bool created = false;
  BarRange diskRange;
  BarRange fileRange;
};
