//===- support/windows/dialog_driver.cpp - Another program's dialogs -------===//
///
/// \file
/// Window messages to the desktop program under test. Messages that only
/// ask or set something are sent with a time limit; commands that may open
/// a modal window are posted.
///
//===----------------------------------------------------------------------===//

#include "support/windows/dialog_driver.h"

#include "support/windows/wide_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <commctrl.h>
#include <cwctype>
#include <thread>

namespace velkor::test {

namespace {

/// The identifier of a message box's text: the static control without an
/// identifier of its own.
constexpr int kMessageTextId = 0xFFFF;

/// Room for one item's text in the program's memory, in characters.
constexpr int kRemoteTextLength = 1024;

/// Sends a message that only asks or sets something, waiting at most
/// kWindowWaitMs for the program to answer. A window that went away
/// meanwhile (a box just closed) answers 0.
LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR answer = 0;
  if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kWindowWaitMs, &answer) ==
      0) {
    if (IsWindow(window))
      ADD_FAILURE() << "window " << window << " did not answer message " << message;
    return 0;
  }
  return static_cast<LRESULT>(answer);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  return name;
}

struct DialogSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM parameter) {
  auto *search = reinterpret_cast<DialogSearch *>(parameter);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->pid && IsWindowVisible(window) && ClassOf(window) == L"#32770")
    search->found.push_back(window);
  return TRUE;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t &c : text)
    c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

} // namespace

bool WaitUntil(const std::function<bool()> &condition, DWORD timeoutMs) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition())
      return true;
    if (std::chrono::steady_clock::now() >= giveUp)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::vector<HWND> VisibleDialogs(DWORD pid) {
  DialogSearch search{pid, {}};
  EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string WindowText(HWND window) {
  const auto length = static_cast<std::size_t>(Ask(window, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(length + 1, L'\0');
  const auto got = static_cast<std::size_t>(Ask(window, WM_GETTEXT, static_cast<WPARAM>(length + 1),
                                                reinterpret_cast<LPARAM>(text.data())));
  text.resize(got < length ? got : length);
  return Utf8(text);
}

std::string ControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) {
    ADD_FAILURE() << "no control " << id << " in window " << dialog;
    return {};
  }
  return WindowText(control);
}

void SetControlText(HWND dialog, int id, const std::string &text) {
  const std::wstring wide = Wide(text);
  Ask(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void PressButton(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void ClickCheckBox(HWND dialog, int id, bool checked) {
  Ask(GetDlgItem(dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  PressButton(dialog, id);
}

int CheckState(HWND dialog, int id) {
  return static_cast<int>(Ask(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
}

bool IsControlEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

void PostKey(HWND window, UINT key) {
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(window, WM_KEYDOWN, key, scan | 1);
  PostMessageW(window, WM_KEYUP, key, scan | 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
}

namespace {

GUITHREADINFO ThreadInfo(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
    return GUITHREADINFO{};
  return info;
}

} // namespace

HWND FocusedWindow(HWND window) { return ThreadInfo(window).hwndFocus; }

HWND ActiveWindow(HWND window) { return ThreadInfo(window).hwndActive; }

bool FocusControl(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  // A dialog that becomes active again (a message box just closed) puts
  // the focus back where it was, which may come after this move: the move
  // is made again until the dialog is active with the focus on the control.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWindowWaitMs);
  while (std::chrono::steady_clock::now() < giveUp) {
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    if (WaitUntil(
            [&] { return ActiveWindow(dialog) == dialog && FocusedWindow(dialog) == control; },
            1000))
      return true;
  }
  return false;
}

std::string MessageBoxText(HWND box) { return ControlText(box, kMessageTextId); }

bool IsMessageBox(HWND window) {
  // An OK message box holds its text, its icon and one button, OK; the
  // program's own dialogs have other buttons beside OK, or no OK at all.
  HWND text = GetDlgItem(window, kMessageTextId);
  if (text == nullptr || ClassOf(text) != L"Static" || GetDlgItem(window, IDOK) == nullptr)
    return false;
  int buttons = 0;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT))
    buttons += ClassOf(child) == L"Button";
  return buttons == 1;
}

DesktopProgram::DesktopProgram(const std::string &program, const std::string &workingDirectory)
    : process({program}, workingDirectory) {}

HWND DesktopProgram::WaitForDialog(const std::string &caption, const std::vector<HWND> &except,
                                   DWORD timeoutMs) const {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND window : VisibleDialogs(Pid())) {
          bool excepted = false;
          for (HWND other : except)
            excepted = excepted || other == window;
          if (!excepted && !IsMessageBox(window) && WindowText(window) == caption) {
            found = window;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return found;
}

HWND DesktopProgram::WaitForMessageBox(DWORD timeoutMs) const {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND window : VisibleDialogs(Pid()))
          if (IsMessageBox(window)) {
            found = window;
            return true;
          }
        return false;
      },
      timeoutMs);
  return found;
}

MessageBoxContent DesktopProgram::DismissMessageBox(DWORD timeoutMs) const {
  HWND box = WaitForMessageBox(timeoutMs);
  if (box == nullptr)
    return {};
  MessageBoxContent content{WindowText(box), MessageBoxText(box)};
  PressButton(box, IDOK);
  // Gone, not only hidden: until the box's own message loop has ended, a
  // key posted to the program would be dispatched by that loop instead of
  // the dialog's.
  WaitUntil([&] { return !IsWindow(box); });
  return content;
}

bool DesktopProgram::ShowsMessageBox() const {
  for (HWND window : VisibleDialogs(Pid()))
    if (IsMessageBox(window))
      return true;
  return false;
}

std::optional<DWORD> DesktopProgram::WaitForExit(DWORD timeoutMs) {
  HANDLE handle = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, Pid());
  if (handle == nullptr)
    return std::nullopt;
  std::optional<DWORD> code;
  if (WaitForSingleObject(handle, timeoutMs) == WAIT_OBJECT_0) {
    DWORD exitCode = 0;
    GetExitCodeProcess(handle, &exitCode);
    code = exitCode;
  }
  CloseHandle(handle);
  if (code)
    process.Finish();
  return code;
}

RemoteListView::RemoteListView(HWND list, DWORD pid) : list(list) {
  process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (process != nullptr)
    remote = VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + kRemoteTextLength * sizeof(wchar_t),
                            MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remote == nullptr)
    ADD_FAILURE() << "no memory in process " << pid << " for its list: error " << GetLastError();
}

RemoteListView::~RemoteListView() {
  if (remote != nullptr)
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  if (process != nullptr)
    CloseHandle(process);
}

int RemoteListView::Count() const { return static_cast<int>(Ask(list, LVM_GETITEMCOUNT, 0, 0)); }

std::string RemoteListView::Text(int index) const {
  if (remote == nullptr)
    return {};
  auto *remoteText = reinterpret_cast<wchar_t *>(static_cast<char *>(remote) + sizeof(LVITEMW));
  LVITEMW item{};
  item.iSubItem = 0;
  item.pszText = remoteText;
  item.cchTextMax = kRemoteTextLength;
  WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
  const auto length = static_cast<std::size_t>(
      Ask(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote)));
  std::wstring text(length, L'\0');
  if (length > 0)
    ReadProcessMemory(process, remoteText, text.data(), length * sizeof(wchar_t), nullptr);
  return Utf8(text);
}

std::vector<std::string> RemoteListView::Texts() const {
  std::vector<std::string> texts;
  const int count = Count();
  for (int i = 0; i < count; ++i)
    texts.push_back(Text(i));
  return texts;
}

int RemoteListView::Find(const std::string &text) const {
  const std::wstring wanted = Lower(Wide(text));
  const int count = Count();
  for (int i = 0; i < count; ++i)
    if (Lower(Wide(Text(i))) == wanted)
      return i;
  return -1;
}

std::vector<int> RemoteListView::Selected() const {
  std::vector<int> positions;
  for (int at = -1;;) {
    at = static_cast<int>(Ask(list, LVM_GETNEXTITEM, static_cast<WPARAM>(at), LVNI_SELECTED));
    if (at < 0)
      return positions;
    positions.push_back(at);
  }
}

void RemoteListView::SetState(int index, UINT state, UINT mask) const {
  if (remote == nullptr)
    return;
  LVITEMW item{};
  item.state = state;
  item.stateMask = mask;
  WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
  Ask(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote));
}

void RemoteListView::Select(const std::vector<int> &positions) const {
  // Index -1 changes every item.
  SetState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  for (std::size_t i = 0; i < positions.size(); ++i)
    SetState(positions[i], LVIS_SELECTED | (i == 0 ? LVIS_FOCUSED : 0),
             LVIS_SELECTED | LVIS_FOCUSED);
}

std::string OwnFolder() {
  wchar_t self[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  return Utf8(path.substr(0, path.find_last_of(L"\\/")));
}

} // namespace velkor::test
