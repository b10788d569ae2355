//===- win32ui/base_directory_browser.cpp - The drive and directory browser ===//

#include "win32ui/base_directory_browser.h"

#include "desktop/display_text.h"
#include "engine/run_messages.h"
#include "engine/user_abort.h"
#include "win32ui/icons.h"
#include "win32ui/messages.h"
#include "win32ui/resource_ids.h"
#include "win32ui/window_text.h"

#include <commctrl.h>

#include <string>

namespace {

std::string_view Bytes(const TTString &text) {
  return {text.CStr(), static_cast<size_t>(text.Length())};
}

/// The order of two names in the user's locale, case ignored. Should the
/// locale's comparison fail, the names compare by their UTF-16 code units,
/// case ignored, so the sort always has one consistent order.
int CompareNames(const std::wstring &first, const std::wstring &second) {
  const int firstLength = static_cast<int>(first.size());
  const int secondLength = static_cast<int>(second.size());
  int order = CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, first.c_str(), firstLength,
                              second.c_str(), secondLength, nullptr, nullptr, 0);
  if (order == 0)
    order = CompareStringOrdinal(first.c_str(), firstLength, second.c_str(), secondLength, TRUE);
  return order == 0 ? 0 : order - CSTR_EQUAL;
}

} // namespace

BaseDirectoryBrowser::BaseDirectoryBrowser(HWND list, HWND pathLabel, HWND owner)
    : list(list), pathLabel(pathLabel), owner(owner) {}

bool BaseDirectoryBrowser::AttachIcons() {
  const int size = SmallIconSize(WindowDpi(list));
  HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 3, 3);
  if (!images)
    return false;
  // Added in the order of BrowserItemKind, whose value is the icon's index.
  for (int id : {IDI_DRIVE, IDI_FOLDER, IDI_PAGE}) {
    OwnedIcon icon(LoadProgramIcon(id, size));
    ImageList_ReplaceIcon(images, -1, icon.Get());
  }
  // The list owns its image list from now on and the one it had is handed
  // back: that one is destroyed here.
  if (HIMAGELIST previous = ListView_SetImageList(list, images, LVSIL_SMALL))
    ImageList_Destroy(previous);
  return true;
}

void BaseDirectoryBrowser::Abort(std::string_view text) const {
  ShowWarning(owner, text);
  throw UserAbort();
}

const BrowserItem &BaseDirectoryBrowser::ItemAt(int index) const {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  ListView_GetItem(list, &item);
  return BrowserItems.At(static_cast<std::int32_t>(item.lParam));
}

std::vector<int> BaseDirectoryBrowser::SelectedPositions() const {
  std::vector<int> positions;
  for (int at = ListView_GetNextItem(list, -1, LVNI_SELECTED); at >= 0;
       at = ListView_GetNextItem(list, at, LVNI_SELECTED))
    positions.push_back(at);
  return positions;
}

void BaseDirectoryBrowser::ShowDirectory(const TTString &path) {
  TTObjectList<BrowserItem> items;
  if (!ReadBrowserItems(path, items))
    Abort("Can not set directory: " + DisplayText(Bytes(path)));
  Fill(items, path);
}

void BaseDirectoryBrowser::Fill(TTObjectList<BrowserItem> &items, const TTString &path) {
  BrowserItems = std::move(items);
  // Each name is decoded once, not once per comparison: a folder may hold
  // many thousands of entries.
  std::vector<std::wstring> names;
  names.reserve(static_cast<size_t>(BrowserItems.Count()));
  for (const BrowserItem &record : BrowserItems)
    names.push_back(DisplayWide(Bytes(record.name)));
  const std::vector<std::int32_t> order =
      BrowserOrder(BrowserItems, [&](std::int32_t first, std::int32_t second) {
        return CompareNames(names[static_cast<size_t>(first)], names[static_cast<size_t>(second)]);
      });

  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  ListView_SetItemCount(list, static_cast<int>(order.size()));
  int position = 0;
  for (std::int32_t index : order) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = position++;
    item.pszText = names[static_cast<size_t>(index)].data();
    item.iImage = static_cast<int>(BrowserItems.At(index).kind);
    item.lParam = index;
    ListView_InsertItem(list, &item);
  }
  if (!order.empty()) {
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list, 0, FALSE);
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  shownPath = path;
  pathLabel.Show(DisplayWide(Bytes(path)));
}

void BaseDirectoryBrowser::EnterItem(int index) {
  const BrowserItem &record = ItemAt(index);
  if (record.kind == BrowserItemKind::File)
    Abort("Can not enter to file");
  if (IsParentItem(record)) {
    GoUp();
    return;
  }
  ShowDirectory(EnteredPath(shownPath, record));
}

void BaseDirectoryBrowser::GoUp() {
  if (shownPath.IsEmpty())
    return;
  ShowDirectory(ParentPath(shownPath));
}

void BaseDirectoryBrowser::Refresh() {
  RememberedSelection before;
  for (int position : SelectedPositions())
    before.AddSelected(ItemAt(position));
  if (const int focused = ListView_GetNextItem(list, -1, LVNI_FOCUSED); focused >= 0)
    before.SetFocused(ItemAt(focused));

  ShowDirectory(shownPath);

  const auto kept =
      before.Find(ListView_GetItemCount(list),
                  [this](int position) -> const BrowserItem & { return ItemAt(position); });
  if (kept.selected.empty())
    return; // ShowDirectory has selected the first item
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  for (int position : kept.selected)
    ListView_SetItemState(list, position, LVIS_SELECTED, LVIS_SELECTED);
  if (kept.focused >= 0)
    ListView_SetItemState(list, kept.focused, LVIS_FOCUSED, LVIS_FOCUSED);
  ListView_EnsureVisible(list, kept.focused >= 0 ? kept.focused : kept.selected.front(), FALSE);
}

void BaseDirectoryBrowser::Confirm(bool listHasFocus) {
  if (!listHasFocus)
    return;
  const int lowest = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  if (lowest >= 0)
    EnterItem(lowest);
}

void BaseDirectoryBrowser::SelectedBaseEntries(TTObjectList<BaseEntry> &entries) {
  const std::vector<int> positions = SelectedPositions();
  if (positions.empty())
    Abort(RunMessage::kNoItemsSelected);
  const std::int32_t before = entries.Count();
  for (int position : positions)
    AppendBaseEntry(shownPath, ItemAt(position), entries);
  if (entries.Count() == before)
    Abort(RunMessage::kNoItemsSelected);
}
