//===- desktop/browser_listing.cpp - What the base-directory browser lists ===//

#include "desktop/browser_listing.h"

#include "engine/mask_walker.h"
#include "fs/drive_list.h"
#include "fs/file_operations.h"
#include "fs/find_handle.h"
#include "fs/mask_set.h"
#include "fs/path_names.h"

#include <algorithm>
#include <numeric>

namespace {

std::string NameKey(const BrowserItem &item) {
  return std::string(item.name.CStr(), static_cast<size_t>(item.name.Length()));
}

bool EndsWithSeparator(const TTString &path) {
  return !path.IsEmpty() && IsPathSeparator(path.At(path.Length() - 1));
}

} // namespace

bool ReadBrowserItems(const TTString &path, TTObjectList<BrowserItem> &items) {
  TTObjectList<BrowserItem> read;
  if (path.IsEmpty()) {
    TTStringList roots;
    ListLogicalDrives(roots);
    for (const TTString &root : roots)
      read.Add(new BrowserItem{root, BrowserItemKind::Drive});
  } else {
    if (!SetCurrentDir(path))
      return false;
    // The same walker as a run, with the one mask "*" and no recursion:
    // every entry of the directory but "." and "..".
    read.Add(new BrowserItem{TTParentDirName(), BrowserItemKind::Directory});
    TTMaskSet masks;
    masks.Add(TTAllEntriesMask(), true, false);
    TTMaskWalker walker(masks);
    TTCandidate entry;
    while (walker.Next(entry))
      read.Add(new BrowserItem{entry.name, IsDirectory(entry) ? BrowserItemKind::Directory
                                                              : BrowserItemKind::File});
  }
  items = std::move(read);
  return true;
}

int CompareBrowserItems(const TTObjectList<BrowserItem> &items, std::int32_t first,
                        std::int32_t second, const NameOrder &names) {
  const BrowserItem &a = items.At(first);
  const BrowserItem &b = items.At(second);
  if (a.kind != b.kind)
    return static_cast<int>(a.kind) < static_cast<int>(b.kind) ? -1 : 1;
  const int order = names(first, second);
  if (order != 0)
    return order;
  return a.name.Compare(b.name);
}

std::vector<std::int32_t> BrowserOrder(const TTObjectList<BrowserItem> &items,
                                       const NameOrder &names) {
  std::vector<std::int32_t> order(static_cast<size_t>(items.Count()));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
    return CompareBrowserItems(items, a, b, names) < 0;
  });
  return order;
}

bool IsParentItem(const BrowserItem &item) { return item.name == TTParentDirName(); }

TTString EnteredPath(const TTString &current, const BrowserItem &item) {
  TTString path = current + item.name;
  if (!EndsWithSeparator(path))
    path += kPathSeparator;
  return path;
}

TTString ParentPath(const TTString &current) {
  if (current.IsEmpty())
    return TTString();
  // Without its closing separator, up to and including the separator
  // before; a drive root has none and leads to the drive list. Names are
  // UTF-8, in which a separator byte is never part of another character.
  std::int32_t lastSeparator = -1;
  for (std::int32_t i = 0; i + 1 < current.Length(); ++i)
    if (current.At(i) == kPathSeparator)
      lastSeparator = i;
  return lastSeparator < 0 ? TTString() : current.Left(lastSeparator + 1);
}

bool AppendBaseEntry(const TTString &current, const BrowserItem &item,
                     TTObjectList<BaseEntry> &entries) {
  if (IsParentItem(item))
    return false;
  const bool isFile = item.kind == BrowserItemKind::File;
  auto *entry = new BaseEntry{isFile ? current + item.name : EnteredPath(current, item), isFile};
  entries.Add(entry);
  return true;
}

void RememberedSelection::AddSelected(const BrowserItem &item) { selected.insert(NameKey(item)); }

void RememberedSelection::SetFocused(const BrowserItem &item) { focused = NameKey(item); }

RememberedSelection::Positions
RememberedSelection::Find(int count,
                          const std::function<const BrowserItem &(int position)> &itemAt) const {
  Positions positions;
  for (int position = 0; position < count; ++position) {
    const std::string name = NameKey(itemAt(position));
    if (selected.count(name))
      positions.selected.push_back(position);
    if (focused && name == *focused)
      positions.focused = position;
  }
  return positions;
}
