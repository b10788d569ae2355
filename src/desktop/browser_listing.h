//===- desktop/browser_listing.h - What the base-directory browser lists --===//
///
/// \file
/// The main window's browser shows the drives or the content of one
/// directory, and turns the items the user selects into a run's base
/// entries. Everything it decides (what is listed, in which order, where
/// an item leads, what a selection gives) is here, below both desktop
/// front ends; each front end only puts the items into its own list control
/// and keeps the directory shown in its path label.
///
/// Paths are the file system's bytes: empty for the drive list, otherwise
/// a directory ending in the path separator ('/' on Linux, '\' on Windows).
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"
#include "core/lists.h"
#include "engine/compaction_run.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

/// An item's kind, which is also the index of its icon.
enum class BrowserItemKind : std::int32_t {
  Drive = 0,     ///< a drive root, such as "/" or "C:\"
  Directory = 1, ///< a subdirectory, and the ".." entry
  File = 2,      ///< a file of any kind
};

/// One item of the list: the name exactly as the directory search or the
/// drive list gave it, and its kind.
struct BrowserItem {
  TTString name;
  BrowserItemKind kind = BrowserItemKind::File;
};

/// Reads the items the browser shows for `path`. The drive list (`path`
/// empty): every drive root, whatever its type; the current directory
/// stays. A directory: it becomes the process's current directory, then
/// ".." and every entry but "." and "..", hidden ones included, as the
/// run's own walker yields them. Answers false, with `items` untouched,
/// when the directory cannot be made current. The whole listing is read
/// before the answer, so a caller changes its screen only after success.
bool ReadBrowserItems(const TTString &path, TTObjectList<BrowserItem> &items);

/// The order of two names of the same kind in the user's locale, case
/// ignored: negative, zero or positive. Each front end's collation.
using NameOrder = std::function<int(std::int32_t first, std::int32_t second)>;

/// The list's sort rule over two indices into `items`: drives, then ".."
/// and the directories, then files; within a kind `names`, and names equal
/// to it ("report.doc" and "Report.doc") by their bytes, so the order is
/// always the same.
int CompareBrowserItems(const TTObjectList<BrowserItem> &items, std::int32_t first,
                        std::int32_t second, const NameOrder &names);

/// The indices of `items` in the list's order (CompareBrowserItems).
std::vector<std::int32_t> BrowserOrder(const TTObjectList<BrowserItem> &items,
                                       const NameOrder &names);

/// Whether `item` is the ".." entry.
bool IsParentItem(const BrowserItem &item);

/// Where entering `item` from `current` leads: `current` followed by the
/// item's name and, unless it ends with one already, the separator. Only
/// for drives and directories other than "..".
TTString EnteredPath(const TTString &current, const BrowserItem &item);

/// The parent of the directory `current`: "/srv/docs/" gives "/srv/",
/// "C:\Data\" gives "C:\", a drive root gives the empty path (the drive
/// list), and the empty path stays empty.
TTString ParentPath(const TTString &current);

/// The base entry a selected item gives: `current` followed by its name;
/// a file is a file entry, anything else ends with the separator. False,
/// with nothing appended, for "..".
bool AppendBaseEntry(const TTString &current, const BrowserItem &item,
                     TTObjectList<BaseEntry> &entries);

/// The selection of the list, remembered by the items' names while the
/// directory is listed again (F5): the items selected before stay selected
/// where they still exist, and so does the focused one.
class RememberedSelection {
public:
  void AddSelected(const BrowserItem &item);
  void SetFocused(const BrowserItem &item);

  /// Where the remembered items stand in the new listing, in list order.
  struct Positions {
    std::vector<int> selected;
    int focused = -1; ///< -1 when it is gone, or none was focused
  };
  /// Looks them up among `count` items, `itemAt(position)` giving each.
  Positions Find(int count, const std::function<const BrowserItem &(int position)> &itemAt) const;

private:
  std::unordered_set<std::string> selected;
  std::optional<std::string> focused;
};
