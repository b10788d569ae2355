//===- ui/base_directory_browser.cpp - The drive and directory browser -----===//

#include "ui/base_directory_browser.h"

#include "engine/run_messages.h"
#include "engine/user_abort.h"
#include "ui/display_name.h"
#include "ui/icons.h"
#include "ui/messages.h"

#include <QLabel>
#include <QListWidget>

#include <string>
#include <vector>

namespace {

/// The label property that keeps the exact bytes of the path shown.
constexpr char kPathProperty[] = "velkorPath";
/// Item data role of a list item's index into BrowserItems.
constexpr int kRecordRole = Qt::UserRole;

std::string_view Bytes(const TTString &text) {
  return {text.CStr(), static_cast<size_t>(text.Length())};
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
  if (!ReadBrowserItems(path, items))
    Abort(QStringLiteral("Can not set directory: ") + DisplayName(Bytes(path)));
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
  const std::vector<std::int32_t> order = BrowserOrder(BrowserItems, [&](std::int32_t first,
                                                                         std::int32_t second) {
    return collator.compare(names[static_cast<size_t>(first)], names[static_cast<size_t>(second)]);
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
  return CompareBrowserItems(BrowserItems, first, second, [this](std::int32_t a, std::int32_t b) {
    return collator.compare(DisplayName(Bytes(BrowserItems.At(a).name)),
                            DisplayName(Bytes(BrowserItems.At(b).name)));
  });
}

void BaseDirectoryBrowser::EnterItem(int index) {
  const TTString current = CurrentPath();
  const BrowserItem &record = ItemAt(index);
  if (record.kind == BrowserItemKind::File)
    Abort(QStringLiteral("Can not enter to file"));
  if (IsParentItem(record)) {
    GoUp();
    return;
  }
  ShowDirectory(EnteredPath(current, record));
}

void BaseDirectoryBrowser::GoUp() {
  const TTString path = CurrentPath();
  if (path.IsEmpty())
    return;
  ShowDirectory(ParentPath(path));
}

void BaseDirectoryBrowser::Refresh() {
  RememberedSelection before;
  for (int row = 0; row < list->count(); ++row)
    if (list->item(row)->isSelected())
      before.AddSelected(ItemAt(row));
  if (list->currentRow() >= 0)
    before.SetFocused(ItemAt(list->currentRow()));

  ShowDirectory(CurrentPath());

  const auto kept =
      before.Find(list->count(), [this](int row) -> const BrowserItem & { return ItemAt(row); });
  if (kept.selected.empty())
    return; // ShowDirectory has selected the first item
  list->clearSelection();
  if (kept.focused >= 0)
    list->setCurrentRow(kept.focused, QItemSelectionModel::NoUpdate);
  for (int row : kept.selected)
    list->item(row)->setSelected(true);
  list->scrollToItem(list->item(kept.focused >= 0 ? kept.focused : kept.selected.front()));
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
  for (int row : rows)
    AppendBaseEntry(current, ItemAt(row), entries);
  if (entries.Count() == before)
    Abort(QString::fromLatin1(RunMessage::kNoItemsSelected));
}
