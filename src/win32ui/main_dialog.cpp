//===- win32ui/main_dialog.cpp - The program's main window -----------------===//

#include "win32ui/main_dialog.h"

#include "fs/windows/wide_name.h"
#include "win32ui/about_dialog.h"
#include "win32ui/base_directory_browser.h"
#include "win32ui/dialog_layout.h"
#include "win32ui/messages.h"
#include "win32ui/progress_dialog.h"
#include "win32ui/resource_ids.h"
#include "win32ui/shell_open.h"
#include "win32ui/window_text.h"

#include <commctrl.h>

#include <optional>

namespace {

/// The masks a fresh start offers: Word and Excel documents.
constexpr wchar_t kDefaultWildcards[] = L"*.doc *.xls";
/// The help page, beside the program.
constexpr wchar_t kHelpPageName[] = L"Velkor.htm";
/// The message of a failed image list; the list then shows names only.
constexpr char kImageListError[] = "anImageList.Create error";
/// Told to Windows while a session's end waits for the run to stop.
constexpr wchar_t kStoppingRun[] = L"Velkor is stopping its run between two documents.";

/// Posted by the key filter: F1 and F5 pressed in the window.
constexpr UINT kHelpKey = WM_APP + 1;
constexpr UINT kRefreshKey = WM_APP + 2;
/// Posted after a DPI change has rescaled the window: icons at the new size.
constexpr UINT kDpiChanged = WM_APP + 3;

/// The main window whose keys the filter watches; one at a time.
HWND keyWindow = nullptr;

/// Sets a dialog procedure's answer to a notification or query.
INT_PTR Answer(HWND window, LRESULT result) {
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

/// The folder of the running program, with its trailing backslash; empty
/// when Windows cannot tell.
std::wstring ProgramDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0)
      return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2); // cut short: a longer path
  }
  const size_t lastSeparator = path.find_last_of(L"\\/");
  return lastSeparator == std::wstring::npos ? std::wstring() : path.substr(0, lastSeparator + 1);
}

/// The full form of a path relative to the current directory.
std::wstring FullPath(const std::wstring &path) {
  const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (length == 0)
    return path;
  std::wstring full(length, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
  full.resize(written < length ? written : 0);
  return full.empty() ? path : full;
}

/// Whether `message` is one of the user's commands to the window: its
/// buttons and boxes, the About box's menu entry and the keys. (The
/// browser's notifications are looked at where they are handled.)
bool IsUserCommand(UINT message, WPARAM wParam) {
  switch (message) {
  case WM_COMMAND:
  case WM_HELP:
  case kHelpKey:
  case kRefreshKey:
    return true;
  case WM_SYSCOMMAND:
    return (wParam & 0xFFF0) == IDM_ABOUT_BOX;
  }
  return false;
}

} // namespace

MainDialog::MainDialog() = default;

MainDialog::~MainDialog() = default;

bool MainDialog::Run() {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr, Procedure,
                         reinterpret_cast<LPARAM>(this)) != -1;
}

INT_PTR CALLBACK MainDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto *self = reinterpret_cast<MainDialog *>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->window = window;
    self->Initialize();
    return TRUE; // the focus goes to the first control in tab order
  }
  auto *self = reinterpret_cast<MainDialog *>(GetWindowLongPtrW(window, DWLP_USER));
  return self ? self->Handle(message, wParam, lParam) : FALSE;
}

LRESULT CALLBACK MainDialog::KeyFilter(int code, WPARAM wParam, LPARAM lParam) {
  // The modal dialog's own loop shows each message here first (MSGF_DIALOGBOX)
  // before the dialog manager turns keys into commands. F1 and F5 pressed on
  // the main window, while it is enabled, become its commands.
  if (code == MSGF_DIALOGBOX && keyWindow) {
    const MSG &message = *reinterpret_cast<const MSG *>(lParam);
    if (message.message == WM_KEYDOWN && (message.wParam == VK_F1 || message.wParam == VK_F5) &&
        (message.hwnd == keyWindow || IsChild(keyWindow, message.hwnd)) &&
        IsWindowEnabled(keyWindow)) {
      PostMessageW(keyWindow, message.wParam == VK_F1 ? kHelpKey : kRefreshKey, 0, 0);
      return TRUE;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

INT_PTR MainDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  // While a run works the window is disabled; a command that still arrives
  // (posted by another program, or WM_HELP handed on by the progress
  // window) starts nothing.
  if (runInProgress && IsUserCommand(message, wParam))
    return TRUE;
  switch (message) {
  case WM_COMMAND:
    switch (LOWORD(wParam)) {
    case IDC_ALL_DRIVES:
      if (HIWORD(wParam) == BN_CLICKED)
        OnAllDrivesClicked();
      return TRUE;
    case IDC_ALL_FILES:
      if (HIWORD(wParam) == BN_CLICKED)
        OnAllFilesClicked();
      return TRUE;
    case IDC_START:
      OnStart();
      return TRUE;
    case IDC_ABOUT:
      AboutDialog::Show(window);
      return TRUE;
    case IDC_HELP_BUTTON:
      OnHelp();
      return TRUE;
    case IDOK:
      // The confirm command (Enter away from the push buttons) never closes
      // the window; the browser takes it.
      RunCommand(window, [this] { browser->Confirm(GetFocus() == list); });
      return TRUE;
    case IDCANCEL:
      OnCancel();
      return TRUE;
    }
    return FALSE;
  case WM_NOTIFY: {
    const NMHDR &header = *reinterpret_cast<const NMHDR *>(lParam);
    // The "return" notification of any child control is taken, with no
    // action: Enter is the confirm command's.
    if (header.code == NM_RETURN)
      return Answer(window, TRUE);
    if (header.idFrom == IDC_BROWSER_LIST && !runInProgress)
      return OnListNotify(header);
    return FALSE;
  }
  case WM_SYSCOMMAND:
    if ((wParam & 0xFFF0) == IDM_ABOUT_BOX) {
      AboutDialog::Show(window);
      return TRUE;
    }
    return FALSE;
  case WM_HELP:
    // F1 in the About box reaches its owner too; the help page opens from
    // the main window only while it has the user's attention.
    if (IsWindowEnabled(window))
      OnHelp();
    return TRUE;
  case kHelpKey:
    OnHelp();
    return TRUE;
  case kRefreshKey:
    RunCommand(window, [this] { browser->Refresh(); });
    return TRUE;
  case WM_PAINT:
    return PaintIconic();
  case WM_QUERYDRAGICON:
    return reinterpret_cast<INT_PTR>(largeIcon.Get());
  case WM_QUERYENDSESSION:
    if (!runInProgress)
      return Answer(window, TRUE);
    // The run stops between two documents; the session waits for that,
    // and the program then ends.
    EndSession();
    ShutdownBlockReasonCreate(window, kStoppingRun);
    return Answer(window, FALSE);
  case WM_ENDSESSION:
    if (wParam)
      EndSession();
    return Answer(window, 0);
  case WM_DPICHANGED:
    PostMessageW(window, kDpiChanged, 0, 0);
    return FALSE; // the dialog's default handling scales the window
  case kDpiChanged:
    SetWindowIcons();
    if (browser) {
      browser->AttachIcons();
      browser->RefitPathLabel();
    }
    return TRUE;
  case WM_DESTROY:
    if (keyFilter)
      UnhookWindowsHookEx(keyFilter);
    keyFilter = nullptr;
    keyWindow = nullptr;
    return FALSE;
  }
  return FALSE;
}

void MainDialog::Initialize() {
  FitLabels(window);
  list = GetDlgItem(window, IDC_BROWSER_LIST);
  keyWindow = window;
  keyFilter = SetWindowsHookExW(WH_MSGFILTER, KeyFilter, nullptr, GetCurrentThreadId());

  // The system menu ends with a separator and "&About Velkor...".
  if (HMENU menu = GetSystemMenu(window, FALSE)) {
    const wchar_t *entry = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUT_MENU_ENTRY,
                                   reinterpret_cast<LPWSTR>(&entry), 0);
    if (length > 0) {
      const std::wstring text(entry, static_cast<size_t>(length));
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(menu, MF_STRING, IDM_ABOUT_BOX, text.c_str());
    }
  }
  SetWindowIcons();

  CheckDlgButton(window, IDC_ALL_DRIVES, BST_CHECKED);
  OnAllDrivesClicked();
  CheckDlgButton(window, IDC_ALL_FILES, BST_CHECKED);
  CheckDlgButton(window, IDC_RECURSIVE, BST_CHECKED);
  SetDlgItemTextW(window, IDC_WILDCARDS, kDefaultWildcards);
  OnAllFilesClicked();
  CheckDlgButton(window, IDC_ESTIMATE_MODE, BST_UNCHECKED);

  // The browser starts in the drive list, with an empty path label.
  ListView_SetExtendedListViewStyle(list, LVS_EX_DOUBLEBUFFER);
  browser = std::make_unique<BaseDirectoryBrowser>(list, GetDlgItem(window, IDC_CURRENT_DIRECTORY),
                                                   window);
  if (!browser->AttachIcons())
    ShowWarning(window, kImageListError);
  RunCommand(window, [this] { browser->ShowDirectory(TTString()); });

  programDirectory = ProgramDirectory();
}

void MainDialog::SetWindowIcons() {
  const UINT dpi = WindowDpi(window);
  largeIcon.Reset(LoadProgramIcon(IDI_APPLICATION_ICON, LargeIconSize(dpi)));
  smallIcon.Reset(LoadProgramIcon(IDI_APPLICATION_ICON, SmallIconSize(dpi)));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon.Get()));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.Get()));
}

void MainDialog::OnAllDrivesClicked() {
  const BOOL enable = !IsChecked(IDC_ALL_DRIVES);
  EnableWindow(GetDlgItem(window, IDC_BASE_DIRECTORIES), enable);
  EnableWindow(list, enable);
}

void MainDialog::OnAllFilesClicked() {
  const BOOL enable = !IsChecked(IDC_ALL_FILES);
  EnableWindow(GetDlgItem(window, IDC_WILDCARDS), enable);
  EnableWindow(GetDlgItem(window, IDC_WILDCARDS_LABEL), enable);
}

bool MainDialog::IsChecked(int id) const { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

RunOptions MainDialog::ReadOptions() const {
  RunOptions options;
  options.allFiles = IsChecked(IDC_ALL_FILES);
  options.recursive = IsChecked(IDC_RECURSIVE);
  options.allDrives = IsChecked(IDC_ALL_DRIVES);
  options.compress = IsDlgButtonChecked(window, IDC_ESTIMATE_MODE) == BST_UNCHECKED;
  options.wildcards = TTString(Utf8Text(WindowText(GetDlgItem(window, IDC_WILDCARDS))).c_str());
  return options;
}

void MainDialog::OnStart() {
  if (runInProgress)
    return;
  runInProgress = true;
  std::optional<int> quit;
  RunCommand(window, [this, &quit] {
    ProgressDialog progress(window);
    runProgress = &progress;
    struct RunEnd {
      MainDialog &dialog;
      ProgressDialog &progress;
      std::optional<int> &quit;
      ~RunEnd() {
        quit = progress.QuitRequested();
        dialog.runProgress = nullptr;
      }
    } runEnd{*this, progress, quit};
    CompactionRun(ReadOptions(), *browser, progress);
  });
  runInProgress = false;
  // The run enables the window again on every ending; this holds even if a
  // failure were to escape before its clean-up.
  EnableWindow(window, TRUE);
  if (sessionEnding) {
    sessionEnding = false;
    ShutdownBlockReasonDestroy(window);
    EndDialog(window, 0);
    return;
  }
  SetForegroundWindow(window);
  // A request to quit that came while the run worked takes effect now.
  if (quit)
    PostQuitMessage(*quit);
}

void MainDialog::OnCancel() {
  if (runInProgress)
    return;
  EndDialog(window, IDCANCEL);
}

void MainDialog::EndSession() {
  if (runInProgress) {
    sessionEnding = true;
    if (runProgress)
      runProgress->EndSession();
    return;
  }
  EndDialog(window, 0);
}

INT_PTR MainDialog::OnListNotify(const NMHDR &header) {
  switch (header.code) {
  case NM_DBLCLK: {
    // A double click on empty space hits no item and does nothing.
    const int index = reinterpret_cast<const NMITEMACTIVATE &>(header).iItem;
    if (index >= 0)
      RunCommand(window, [this, index] { browser->EnterItem(index); });
    return TRUE;
  }
  case LVN_KEYDOWN:
    if (reinterpret_cast<const NMLVKEYDOWN &>(header).wVKey == VK_BACK)
      RunCommand(window, [this] { browser->GoUp(); });
    return TRUE;
  }
  return FALSE;
}

bool MainDialog::PaintIconic() {
  if (!IsIconic(window))
    return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int iconWidth = GetSystemMetrics(SM_CXICON);
  const int iconHeight = GetSystemMetrics(SM_CYICON);
  RECT client;
  GetClientRect(window, &client);
  DrawIcon(dc, (client.right - client.left - iconWidth + 1) / 2,
           (client.bottom - client.top - iconHeight + 1) / 2, largeIcon.Get());
  EndPaint(window, &paint);
  return true;
}

void MainDialog::OnHelp() {
  // Without the program's folder the page is looked for in the current
  // directory, and named by its full path there.
  OpenHelpPage(programDirectory.empty() ? FullPath(kHelpPageName)
                                        : programDirectory + kHelpPageName);
}

void MainDialog::OpenHelpPage(const std::wstring &path) {
  const DWORD attributes = GetFileAttributesW(velkor::windows::LongPathForm(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
    ShowWarning(window, "The help page cannot be found:\n" + Utf8Text(path));
  else if (!OpenWithDesktop(window, path))
    ShowWarning(window,
                "No program on this desktop opens the help page. Open it in a web browser:\n" +
                    Utf8Text(path));
}
