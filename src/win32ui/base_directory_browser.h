//===- win32ui/base_directory_browser.h - The drive and directory browser --===//
///
/// \file
/// Inside the main window, under the frame "Base directories", a small
/// browser lets the user pick what a run works on: a list view of the drives
/// or of one directory's content, with the path label above it. Double
/// click, Enter and Backspace move through the tree; F5 lists the directory
/// again; Start turns the selected items into the run's base entries
/// (SelectedBaseEntries). What is listed, in which order and where an item
/// leads is decided in desktop/browser_listing.h; this class puts it on the
/// screen.
///
/// The directory shown is kept here as its exact bytes, beside the label,
/// which only shows it (DisplayText, cut in the middle to the label's width
/// when it is long); only ShowDirectory changes either.
/// BrowserItems always describes exactly the items in the list: each list
/// item carries, as its data, the index of its record there.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"
#include "core/lists.h"
#include "desktop/browser_listing.h"
#include "engine/compaction_run.h"
#include "win32ui/path_line.h"

#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

class BaseDirectoryBrowser : public BaseEntrySource {
public:
  /// Works on the main window's list view and path label; messages are
  /// owned by `owner`. Shows nothing until ShowDirectory is called.
  BaseDirectoryBrowser(HWND list, HWND pathLabel, HWND owner);

  /// Gives the list its small icons (drive, folder, page) at the list's
  /// DPI; called again when the DPI changes. False when the image list
  /// cannot be made: the list then shows its names without icons.
  bool AttachIcons();
  /// Cuts the path label again for its width now (after a DPI change).
  void RefitPathLabel() { pathLabel.Refit(); }

  /// Lists the drives (`path` empty) or the directory `path` (ending in a
  /// backslash), which becomes the process's current directory. The item
  /// first in sorted order is selected. When the directory cannot be made
  /// current it shows "Can not set directory: " and the path, changes
  /// nothing and throws UserAbort.
  void ShowDirectory(const TTString &path);
  /// Opens the drive or directory at list position `index`; ".." goes up.
  /// A file gives "Can not enter to file".
  void EnterItem(int index);
  /// Shows the parent of the directory shown: "C:\Data\" goes to "C:\",
  /// "C:\" to the drive list, and the drive list stays as it is.
  void GoUp();
  /// F5: lists the directory shown (or the drives) again, as it is on disk
  /// now. The items selected before stay selected where they still exist,
  /// and so does the focused item; with none left the first is selected.
  void Refresh();
  /// The confirm command (Enter away from the push buttons): enters the
  /// lowest selected item when the list has the keyboard focus.
  void Confirm(bool listHasFocus);

  /// The selected items, in list order, as base entries: the directory shown
  /// followed by the item's name; a backslash closes drives and directories;
  /// ".." is skipped. Nothing selected, or only "..", gives "No items were
  /// selected" and UserAbort.
  void SelectedBaseEntries(TTObjectList<BaseEntry> &entries) override;

  /// The directory shown, as its bytes: empty for the drive list, otherwise
  /// ending in a backslash.
  const TTString &CurrentPath() const { return shownPath; }
  /// The records behind the list's items, in the order they were added.
  const TTObjectList<BrowserItem> &Items() const { return BrowserItems; }

private:
  /// Shows `text` as the program's message and ends the command silently.
  [[noreturn]] void Abort(std::string_view text) const;
  /// Replaces the list, the records, the path and its label together.
  void Fill(TTObjectList<BrowserItem> &items, const TTString &path);
  /// The record behind list position `index`.
  const BrowserItem &ItemAt(int index) const;
  /// The list positions selected, lowest first.
  std::vector<int> SelectedPositions() const;

  HWND list;
  PathLine pathLabel;
  HWND owner;
  TTString shownPath;
  TTObjectList<BrowserItem> BrowserItems;
};
