//===- support/windows/dialog_driver.h - Another program's dialogs, driven -===//
///
/// \file
/// The tests of the Windows desktop program drive its real windows from a
/// process of their own, as a user would, through window messages only: they
/// find the program's dialogs by class and caption, read and set the texts
/// and check boxes of their controls, press buttons, post keys, read and
/// select the items of its list view, and answer its message boxes.
///
/// Everything that could block the test on the program goes through posted
/// messages (a button that opens a modal box) or SendMessageTimeoutW, and
/// every wait polls with a generous limit, so a program that hangs fails the
/// test instead of stopping the suite. WM_GETTEXT and WM_SETTEXT carry their
/// text across processes by themselves; the list view's item messages hold
/// pointers, which RemoteListView places in the program's own memory.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "support/process.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// After the project's headers: <windows.h> defines macros they may name.
#include <windows.h>

namespace velkor::test {

/// How long a wait for the program lasts before the test gives up: far
/// beyond what any step takes, even on a loaded machine under Wine.
inline constexpr DWORD kWindowWaitMs = 60000;

/// Polls `condition` until it holds (true) or `timeoutMs` has passed (false).
bool WaitUntil(const std::function<bool()> &condition, DWORD timeoutMs = kWindowWaitMs);

/// The visible top-level dialogs (class #32770) of process `pid`.
std::vector<HWND> VisibleDialogs(DWORD pid);

/// The text of a window (caption of a dialog, text of a control) as UTF-8,
/// asked with WM_GETTEXT; empty when the window does not answer in time.
std::string WindowText(HWND window);

/// The text of control `id` of `dialog`.
std::string ControlText(HWND dialog, int id);

/// Replaces the text of control `id` of `dialog` (an edit field) by `text`.
void SetControlText(HWND dialog, int id, const std::string &text);

/// Presses push button `id` of `dialog`: the dialog gets the button's
/// click command. Posted, so a button that opens a modal window does not
/// hold the test.
void PressButton(HWND dialog, int id);

/// Sets check box `id` of `dialog` to `checked` and sends the click command
/// a click by the user sends, so the dialog applies its rules.
void ClickCheckBox(HWND dialog, int id, bool checked);

/// The check state of check box `id` (0 clear, 1 checked).
int CheckState(HWND dialog, int id);

/// Whether control `id` of `dialog` is enabled.
bool IsControlEnabled(HWND dialog, int id);

/// Posts a key press (down and up) of virtual key `key` to `window`.
void PostKey(HWND window, UINT key);

/// Moves the keyboard focus of `dialog` to its control `id`, as Tab does,
/// and waits until the dialog is active and the control has the focus.
/// False when it never got there.
bool FocusControl(HWND dialog, int id);

/// The window that has the keyboard focus in the thread that owns `window`.
HWND FocusedWindow(HWND window);

/// The active top-level window of the thread that owns `window`.
HWND ActiveWindow(HWND window);

/// A message box: its caption and text, read before it is answered.
struct MessageBoxContent {
  std::string caption;
  std::string text;
};

/// The text of the message box `box` (its static text control).
std::string MessageBoxText(HWND box);

/// Whether `window` is an OK message box: a dialog with the message box's
/// text control and one button, OK (an About box has other buttons too).
bool IsMessageBox(HWND window);

/// The desktop program under test, started as a process; ended at the end
/// of the test if it is still running.
class DesktopProgram {
public:
  /// Starts `program` (a full path) in `workingDirectory` (empty: the
  /// test's own).
  explicit DesktopProgram(const std::string &program, const std::string &workingDirectory = "");

  DWORD Pid() const { return static_cast<DWORD>(process.Pid()); }

  /// The process's visible dialog captioned `caption` that is not one of
  /// `except`, waiting for it to appear; null when it never did.
  HWND WaitForDialog(const std::string &caption, const std::vector<HWND> &except = {},
                     DWORD timeoutMs = kWindowWaitMs) const;

  /// The process's visible message box, waiting for it; null when none
  /// appeared.
  HWND WaitForMessageBox(DWORD timeoutMs = kWindowWaitMs) const;

  /// Waits for a message box, reads it and presses its OK button; the
  /// caption and text are empty when no box appeared.
  MessageBoxContent DismissMessageBox(DWORD timeoutMs = kWindowWaitMs) const;

  /// Whether the process shows a message box right now.
  bool ShowsMessageBox() const;

  /// Waits for the program to end and answers its exit code; nothing when it
  /// did not end in time.
  std::optional<DWORD> WaitForExit(DWORD timeoutMs = kWindowWaitMs);

private:
  CliProcess process;
};

/// The list view of another process, read and selected through its item
/// messages; the items and texts they point to live in a block of the
/// program's memory.
class RemoteListView {
public:
  RemoteListView(HWND list, DWORD pid);
  ~RemoteListView();
  RemoteListView(const RemoteListView &) = delete;
  RemoteListView &operator=(const RemoteListView &) = delete;

  int Count() const;
  /// The text of the item at list position `index`, as UTF-8.
  std::string Text(int index) const;
  /// Every item's text, in list order.
  std::vector<std::string> Texts() const;
  /// The position of the item whose text is `text` (letters in any case),
  /// or -1.
  int Find(const std::string &text) const;
  /// The selected positions, in increasing order.
  std::vector<int> Selected() const;
  /// Selects exactly the items at `positions`; the first of them also gets
  /// the focus mark.
  void Select(const std::vector<int> &positions) const;

private:
  void SetState(int index, UINT state, UINT mask) const;

  HWND list;
  HANDLE process = nullptr;
  void *remote = nullptr; ///< an LVITEMW followed by room for its text
};

/// The path of this test program's own folder (the build's bin folder).
std::string OwnFolder();

} // namespace velkor::test
