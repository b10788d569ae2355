//===- ui/base_directory_browser.h - The drive and directory browser -------===//
///
/// \file
/// Inside the main window, under the frame "Base directories", a small
/// browser lets the user pick what a run works on: a list of the drives (the
/// mount points) or of one directory's content, with the path label above it.
/// Double click, Enter and Backspace move through the tree; Start turns the
/// selected items into the run's base entries (SelectedBaseEntries).
///
/// The path label is the browser's only state: every operation reads the
/// directory shown from it, and only ShowDirectory writes it. The label shows
/// the path decoded for display and keeps its exact bytes beside the text,
/// so a name that is not valid UTF-8 is shown readably and still reaches the
/// run as the bytes the file system uses.
///
/// BrowserItems always describes exactly the items in the list: each list
/// item carries, as its data, the index of its record there.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"
#include "core/lists.h"
#include "desktop/browser_listing.h"
#include "engine/compaction_run.h"

#include <QCollator>
#include <QIcon>

#include <cstdint>
#include <vector>

class QLabel;
class QListWidget;
class QString;
class QWidget;

class BaseDirectoryBrowser : public BaseEntrySource {
public:
  /// Works on the main window's list and path label; messages are owned by
  /// `owner`. Shows nothing until ShowDirectory is called.
  BaseDirectoryBrowser(QListWidget *list, QLabel *pathLabel, QWidget *owner);

  /// Lists the drives (`path` empty) or the directory `path` (ending in a
  /// slash), which becomes the process's current directory. The item first
  /// in sorted order is selected. When the directory cannot be made current
  /// it shows "Can not set directory: " and the path, changes nothing and
  /// throws UserAbort.
  void ShowDirectory(const TTString &path);
  /// Opens the drive or directory at list position `index`; ".." goes up.
  /// A file gives "Can not enter to file".
  void EnterItem(int index);
  /// Shows the parent of the directory shown: "/srv/docs/" goes to "/srv/",
  /// "/" to the drive list, and the drive list stays as it is.
  void GoUp();
  /// F5: lists the directory shown (or the drives) again, as it is on disk
  /// now. The items selected before stay selected where they still exist,
  /// and so does the current item; with none left the first is selected.
  void Refresh();
  /// The confirm command (Enter away from the buttons): enters the lowest
  /// selected item when the list has the keyboard focus.
  void Confirm(bool listHasFocus);
  /// The list's sort rule over two indices into BrowserItems
  /// (CompareBrowserItems), names in the user's locale without regard to
  /// case.
  int CompareItems(std::int32_t first, std::int32_t second) const;

  /// The selected items, in list order, as base entries: the directory shown
  /// followed by the item's name; a slash closes drives and directories;
  /// ".." is skipped. Nothing selected, or only "..", gives "No items were
  /// selected" and UserAbort.
  void SelectedBaseEntries(TTObjectList<BaseEntry> &entries) override;

  /// The directory shown, as its bytes: empty for the drive list, otherwise
  /// ending in a slash. Read from the path label.
  TTString CurrentPath() const;
  /// The records behind the list's items, in the order they were added.
  const TTObjectList<BrowserItem> &Items() const { return BrowserItems; }

private:
  /// Shows `text` as the program's message and ends the command silently.
  [[noreturn]] void Abort(const QString &text) const;
  /// Replaces the list, the records and the path label together.
  void Fill(TTObjectList<BrowserItem> &items, const TTString &path);
  /// The record behind list position `index`.
  const BrowserItem &ItemAt(int index) const;

  QListWidget *list;
  QLabel *pathLabel;
  QWidget *owner;
  TTObjectList<BrowserItem> BrowserItems;
  QCollator collator;
  QIcon icons[3];
};
