//===- ui/base_directory_browser.cpp - The drive and directory browser -----===//

#include "ui/base_directory_browser.h"

#include "engine/mask_walker.h"
#include "engine/run_messages.h"
#include "engine/user_abort.h"
#include "fs/drive_list.h"
#include "fs/file_operations.h"
#include "fs/mask_set.h"
#include "ui/display_name.h"
#include "ui/icons.h"
#include "ui/messages.h"

#include <QLabel>
#include <QListWidget>

#include <algorithm>
#include <numeric>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

/// The label property that keeps the exact bytes of the path shown.
constexpr char kPathProperty[] = "velkorPath";
/// Item data role of a list item's index into BrowserItems.
constexpr int kRecordRole = Qt::UserRole;

std::string_view Bytes(const TTString &text) {
  return {text.CStr(), static_cast<size_t>(text.Length())};
}

bool EndsWithSlash(const TTString &path) {
  return !path.IsEmpty() && path.At(path.Length() - 1) == '/';
}

} // namespace

BaseDirectoryBrowser::BaseDirectoryBrowser(QListWidget *list, QLabel *pathLabel, QWidget *owner)
    : list(list), pathLabel(pathLabel), owner(owner), icons{DriveIcon(), FolderIcon(), PageIcon()} {
  collator.setCaseSensitivity(Qt::CaseInsensitive);
}

void BaseDirectoryBrowser::Abort(const QString &text) const {
  ShowWarning(owner, text);
  throw UserAbort();
}

TTString BaseDirectoryBrowser::CurrentPath() const {
  return TTString(pathLabel->property(kPathProperty).toByteArray().constData());
}

const BrowserItem &BaseDirectoryBrowser::ItemAt(int index) const {
  return BrowserItems.At(list->item(index)->data(kRecordRole).toInt());
}

void BaseDirectoryBrowser::ShowDirectory(const TTString &path) {
  TTObjectList<BrowserItem> items;
  if (path.IsEmpty()) {
    // The drive list, whatever the drives' types. The current directory stays.
    TTStringList roots;
    ListLogicalDrives(roots);
    for (const TTString &root : roots)
      items.Add(new BrowserItem{root, BrowserItemKind::Drive});
  } else {
    if (!SetCurrentDir(path))
      Abort(QStringLiteral("Can not set directory: ") + DisplayName(Bytes(path)));
    // The same walker as a run, with the one mask "*" and no recursion: every
    // entry of the directory but "." and "..". The whole listing is read
    // before anything on screen changes.
    items.Add(new BrowserItem{TTParentDirName(), BrowserItemKind::Directory});
    TTMaskSet masks;
    masks.Add(TTAllEntriesMask(), true, false);
    TTMaskWalker walker(masks);
    TTCandidate entry;
    while (walker.Next(entry))
      items.Add(new BrowserItem{entry.name, IsDirectory(entry) ? BrowserItemKind::Directory
                                                               : BrowserItemKind::File});
  }
  Fill(items, path);
}

void BaseDirectoryBrowser::Fill(TTObjectList<BrowserItem> &items, const TTString &path) {
  BrowserItems = std::move(items);
  // Each name is decoded once, not once per comparison: a folder may hold
  // many thousands of entries.
  std::vector<QString> names;
  names.reserve(static_cast<size_t>(BrowserItems.Count()));
  for (const BrowserItem &record : BrowserItems)
    names.push_back(DisplayName(Bytes(record.name)));
  std::vector<std::int32_t> order(names.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
    return Compare(a, b, names[static_cast<size_t>(a)], names[static_cast<size_t>(b)]) < 0;
  });

  list->setUpdatesEnabled(false);
  list->clear();
  for (std::int32_t index : order) {
    auto *item = new QListWidgetItem(icons[static_cast<int>(BrowserItems.At(index).kind)],
                                     names[static_cast<size_t>(index)]);
    item->setData(kRecordRole, index);
    list->addItem(item);
  }
  if (list->count() > 0) {
    list->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    list->scrollToTop();
  }
  list->setUpdatesEnabled(true);
  pathLabel->setProperty(kPathProperty, QByteArray(path.CStr(), path.Length()));
  pathLabel->setText(DisplayName(Bytes(path)));
}

int BaseDirectoryBrowser::CompareItems(std::int32_t first, std::int32_t second) const {
  return Compare(first, second, DisplayName(Bytes(BrowserItems.At(first).name)),
                 DisplayName(Bytes(BrowserItems.At(second).name)));
}

int BaseDirectoryBrowser::Compare(std::int32_t first, std::int32_t second, const QString &firstName,
                                  const QString &secondName) const {
  const BrowserItem &a = BrowserItems.At(first);
  const BrowserItem &b = BrowserItems.At(second);
  if (a.kind != b.kind)
    return static_cast<int>(a.kind) < static_cast<int>(b.kind) ? -1 : 1;
  const int order = collator.compare(firstName, secondName);
  if (order != 0)
    return order;
  // Names equal to the collation ("report.doc" and "Report.doc" can both
  // exist here) keep one fixed order: by their bytes.
  return a.name.Compare(b.name);
}

void BaseDirectoryBrowser::EnterItem(int index) {
  const TTString current = CurrentPath();
  const BrowserItem &record = ItemAt(index);
  if (record.kind == BrowserItemKind::File)
    Abort(QStringLiteral("Can not enter to file"));
  if (record.name == TTParentDirName()) {
    GoUp();
    return;
  }
  TTString path = current + record.name;
  if (!EndsWithSlash(path))
    path += '/';
  ShowDirectory(path);
}

void BaseDirectoryBrowser::GoUp() {
  TTString path = CurrentPath();
  if (path.IsEmpty())
    return;
  path.Delete(path.Length() - 1, 1);
  std::int32_t lastSlash = -1;
  for (std::int32_t i = 0; i < path.Length(); ++i)
    if (path.At(i) == '/')
      lastSlash = i;
  ShowDirectory(lastSlash < 0 ? TTString() : path.Left(lastSlash + 1));
}

void BaseDirectoryBrowser::Refresh() {
  const auto key = [](const BrowserItem &record) {
    return std::string(record.name.CStr(), static_cast<size_t>(record.name.Length()));
  };
  std::unordered_set<std::string> selected;
  for (int row = 0; row < list->count(); ++row)
    if (list->item(row)->isSelected())
      selected.insert(key(ItemAt(row)));
  const int currentRow = list->currentRow();
  const std::string current = currentRow >= 0 ? key(ItemAt(currentRow)) : std::string();

  ShowDirectory(CurrentPath());

  std::vector<int> keep;
  int newCurrent = -1;
  for (int row = 0; row < list->count(); ++row) {
    const std::string name = key(ItemAt(row));
    if (selected.count(name))
      keep.push_back(row);
    if (currentRow >= 0 && name == current)
      newCurrent = row;
  }
  if (keep.empty())
    return; // ShowDirectory has selected the first item
  list->clearSelection();
  if (newCurrent >= 0)
    list->setCurrentRow(newCurrent, QItemSelectionModel::NoUpdate);
  for (int row : keep)
    list->item(row)->setSelected(true);
  list->scrollToItem(list->item(newCurrent >= 0 ? newCurrent : keep.front()));
}

void BaseDirectoryBrowser::Confirm(bool listHasFocus) {
  if (!listHasFocus)
    return;
  int lowest = -1;
  for (int row = 0; row < list->count(); ++row)
    if (list->item(row)->isSelected()) {
      lowest = row;
      break;
    }
  if (lowest >= 0)
    EnterItem(lowest);
}

void BaseDirectoryBrowser::SelectedBaseEntries(TTObjectList<BaseEntry> &entries) {
  std::vector<int> rows;
  for (int row = 0; row < list->count(); ++row)
    if (list->item(row)->isSelected())
      rows.push_back(row);
  if (rows.empty())
    Abort(QString::fromLatin1(RunMessage::kNoItemsSelected));

  const TTString current = CurrentPath();
  const std::int32_t before = entries.Count();
  for (int row : rows) {
    const BrowserItem &record = ItemAt(row);
    if (record.name == TTParentDirName())
      continue;
    auto *entry = new BaseEntry{current + record.name, record.kind == BrowserItemKind::File};
    if (!entry->isFile && !EndsWithSlash(entry->path))
      entry->path += '/';
    entries.Add(entry);
  }
  if (entries.Count() == before)
    Abort(QString::fromLatin1(RunMessage::kNoItemsSelected));
}
