//===- ui/main_dialog.h - The program's main window ------------------------===//
///
/// \file
/// MainDialog is the one window the user works in: the run options (mode,
/// recursion, drive scope, file masks), the base-directory browser, and the
/// Start, Help, About... and Close buttons. It holds no state of its own
/// beyond its controls: the run reads them once when Start is pressed.
///
/// Keys: Escape and the close box close the window (and so end the program);
/// Enter never closes it. Enter on a push button presses that button; anywhere
/// else it is handed to the browser, which enters the lowest selected item
/// when the list has the focus. F1 opens the help page, F5 lists the
/// browser's directory again.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "ui_main_dialog.h"

#include "engine/compaction_run.h"

#include <QDialog>
#include <QIcon>
#include <QString>

#include <memory>

class ProgressDialog;

class BaseDirectoryBrowser;
class QMenu;

class MainDialog : public QDialog {
  Q_OBJECT

public:
  explicit MainDialog(QWidget *parent = nullptr);
  ~MainDialog() override;

  /// The generated form: the controls under their field names.
  Ui::MainDialog &Form() { return ui; }
  /// The window's context menu; it ends with a separator and
  /// "&About Velkor...".
  QMenu *WindowMenu() const { return windowMenu; }
  /// The folder of the running program, with its trailing slash.
  const QString &ProgramDirectory() const { return programDirectory; }
  /// The help page's full path: "Velkor.htm" in the program's folder (as in
  /// a build tree) or else in its data folder (as installed).
  QString HelpPagePath() const;
  /// The browser behind the list and its path label.
  BaseDirectoryBrowser &Browser() { return *browser; }
  /// The options as the run reads them: a box counts as checked only when
  /// it is fully checked.
  RunOptions ReadOptions() const;
  /// Hands the help page at `path` to the desktop's default program for it.
  /// A page that is missing, or a desktop with nothing to open it (no
  /// xdg-open, no browser), is told in a message that names the page's full
  /// path, so the user can open it by hand.
  void OpenHelpPage(const QString &path);
  /// True while Start's run is in progress.
  bool RunInProgress() const { return runInProgress; }

public slots:
  /// Close, Escape, the close box: closes the window, except while a run is
  /// in progress (the window is disabled then, but the desktop may still
  /// deliver a close request).
  void reject() override;
  /// The session ends (SIGTERM, SIGHUP, the desktop's logout): a run in
  /// progress stops between documents as with Stop, without its closing
  /// message, and every window closes once it has; without a run they
  /// close at once. The program then ends as when the window is closed.
  void EndSession();

protected:
  void keyPressEvent(QKeyEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;
  /// Lays the browser's items out again with the font the window is shown
  /// in: the drive list is filled before the window first appears.
  void showEvent(QShowEvent *event) override;
  /// Backspace in the browser's list goes up one directory. While a run is
  /// in progress, a request to quit the program is held back until the run
  /// has ended.
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  /// "Process all non-removable drives": the browser's frame and list are
  /// enabled only while the box is clear. The path label stays enabled.
  void OnAllDrivesClicked();
  /// "All files": the wildcards field and its label are enabled only while
  /// the box is clear.
  void OnAllFilesClicked();
  /// Start: runs the whole job with the options shown. The window is
  /// disabled while it runs and enabled again however the run ends.
  void OnStart();
  /// Shows the About box modally.
  void OnAbout();
  /// Help and F1: opens the help page.
  void OnHelp();
  /// The confirm command (Enter away from the push buttons).
  void OnConfirm();
  /// Keeps the browser's path label and list inside the frame drawn around
  /// them, whatever the style and font make of the frame's title.
  void FitBrowserIntoFrame();
  void BuildWindowMenu();

  Ui::MainDialog ui;
  QIcon appIcon;
  QString programDirectory;
  QMenu *windowMenu = nullptr;
  std::unique_ptr<BaseDirectoryBrowser> browser;
  bool runInProgress = false;
  bool quitPending = false;
  bool sessionEnding = false;
  ProgressDialog *runProgress = nullptr; ///< the progress window while a run is in progress
};
