//===- win32ui/main_dialog.h - The program's main window -------------------===//
///
/// \file
/// MainDialog is the one window the user works in (template IDD_MAIN): the
/// run options (mode, recursion, drive scope, file masks), the
/// base-directory browser, and the Start, Help, About... and Close buttons.
/// It holds no state of its own beyond its controls: the run reads them
/// once when Start is pressed.
///
/// Keys: Escape and the close box close the window (and so end the
/// program); Enter never closes it. Enter on a push button presses that
/// button; anywhere else it is the confirm command, which the browser takes
/// (it enters the lowest selected item when the list has the focus). F1
/// opens the help page, F5 lists the browser's directory again.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "engine/compaction_run.h"
#include "win32ui/icons.h"

#include <memory>
#include <string>

#include <windows.h>

class BaseDirectoryBrowser;
class ProgressDialog;

class MainDialog {
public:
  MainDialog();
  ~MainDialog();
  MainDialog(const MainDialog &) = delete;
  MainDialog &operator=(const MainDialog &) = delete;

  /// Shows the window modally until it closes. A request to quit (WM_QUIT)
  /// closes it too and stays in the thread's queue for the caller. False,
  /// with the last error set, when the window cannot be made at all.
  bool Run();

private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  /// The F1 and F5 keys, seen in the dialog's own message loop.
  static LRESULT CALLBACK KeyFilter(int code, WPARAM wParam, LPARAM lParam);

  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  /// The defaults, the system menu entry, the icons, the drive list and the
  /// program's folder.
  void Initialize();
  /// Sets the window's large and small icons at the window's DPI.
  void SetWindowIcons();
  /// "Process all non-removable drives": the browser's frame and list are
  /// enabled only while the box is clear. The path label stays enabled.
  void OnAllDrivesClicked();
  /// "All files": the wildcards field and its label are enabled only while
  /// the box is clear.
  void OnAllFilesClicked();
  /// Start: runs the whole job with the options shown. The window is
  /// disabled while it runs and enabled again however the run ends.
  void OnStart();
  /// Help and F1: opens the help page beside the program.
  void OnHelp();
  /// Hands the help page at `path` to the desktop's program for it. A page
  /// that is missing, or a desktop with nothing to open it, is told in a
  /// message that names the page's full path.
  void OpenHelpPage(const std::wstring &path);
  /// The cancel command: closes the window, except while a run is in
  /// progress (the window is disabled then, but a close request may still
  /// be delivered to it).
  void OnCancel();
  /// The session ends: a run in progress stops between documents as with
  /// Stop, without its closing message, and the window closes once it has;
  /// without a run it closes at once.
  void EndSession();
  /// The list's notifications: double click, Backspace, Enter.
  INT_PTR OnListNotify(const NMHDR &header);
  /// Paints the icon centred in the client area while the window is
  /// minimised.
  bool PaintIconic();
  /// The options as the run reads them: a box counts as checked only when
  /// it is exactly checked.
  RunOptions ReadOptions() const;
  bool IsChecked(int id) const;

  HWND window = nullptr;
  HWND list = nullptr;
  HHOOK keyFilter = nullptr;
  OwnedIcon largeIcon;
  OwnedIcon smallIcon;
  std::wstring programDirectory; ///< with its trailing backslash
  std::unique_ptr<BaseDirectoryBrowser> browser;
  bool runInProgress = false;
  bool sessionEnding = false;
  ProgressDialog *runProgress = nullptr; ///< the progress window while a run is in progress
};
