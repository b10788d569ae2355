//===- win32ui/windows/desktop_program.h - velkor.exe started and steered -===//
///
/// \file
/// What the tests of velkor.exe and the program that draws its pictures
/// share: a fixture that starts the build's velkor.exe on a folder of its
/// own, puts fixture documents there, shows a folder in the browser with the
/// keys a user presses, and reads the end of a run. The messages themselves
/// go through support/windows/dialog_driver.h.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "support/windows/dialog_driver.h"
#include "support/windows/temp_folder.h"
#include "win32ui/resource_ids.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cwctype>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// After the project's headers: <windows.h> defines macros they may name.
#include <windows.h>

namespace velkor::test {

/// The seven counter fields of the progress window, in the order the run
/// fills them.
inline constexpr int kCounterIds[] = {IDC_TOTAL_FILES,  IDC_DOCUMENT_FILES, IDC_COMPRESSED_FILES,
                                      IDC_BYTES_BEFORE, IDC_BYTES_AFTER,    IDC_BYTES_REDUCED,
                                      IDC_RATIO};

inline std::string ProgramPath() { return OwnFolder() + "\\velkor.exe"; }

/// A Linux path as the program under Wine reaches it: drive Z: is the
/// Linux root.
inline std::string OnDriveZ(std::string linuxPath) {
  for (char &c : linuxPath)
    if (c == '/')
      c = '\\';
  return "Z:" + linuxPath;
}

inline std::wstring Wide(const std::string &utf8) { return WideOf(utf8); }

inline bool SameLetters(const std::string &a, const std::string &b) {
  const std::wstring x = Wide(a), y = Wide(b);
  if (x.size() != y.size())
    return false;
  for (std::size_t i = 0; i < x.size(); ++i)
    if (std::towlower(x[i]) != std::towlower(y[i]))
      return false;
  return true;
}

/// Whether a path line's text `shown` shows `path`: the whole path, or, on
/// a line too narrow for it, the path cut in its middle (its start, an
/// ellipsis, its end), the last folder always whole. Letters in any case.
inline bool ShowsPath(const std::string &shown, const std::string &path) {
  if (SameLetters(shown, path))
    return true;
  const std::string ellipsis = "\xE2\x80\xA6";
  const std::size_t cut = shown.find(ellipsis);
  if (cut == std::string::npos)
    return false;
  const std::string start = shown.substr(0, cut);
  const std::string end = shown.substr(cut + ellipsis.size());
  const std::size_t lastPart = path.find_last_of('\\', path.size() >= 2 ? path.size() - 2 : 0);
  const std::size_t lastLength =
      lastPart == std::string::npos ? path.size() : path.size() - lastPart;
  return start.size() + end.size() < path.size() && end.size() >= lastLength - 1 &&
         SameLetters(start, path.substr(0, start.size())) &&
         SameLetters(end, path.substr(path.size() - end.size()));
}

/// What the end of a run showed: the progress window's caption and
/// counters while the closing message was open, and the message.
struct RunEnd {
  std::string caption;
  std::vector<std::string> counters;
  /// The folder, status and file lines.
  std::string diskText;
  std::string statusText;
  std::string fileText;
  MessageBoxContent message;
  bool mainWindowDisabled = false;
};

/// Each test's folder under VELKOR_WIN32UI_RUNS, emptied before the test
/// and kept after it for olefile, and velkor.exe started from the build.
class DesktopProgramTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    if (name.starts_with("DISABLED_"))
      name.erase(0, 9); // a case run only by name (window_pictures.cpp)
    folder = OnDriveZ(std::string(VELKOR_WIN32UI_RUNS) + "/" + name);
    std::error_code ignored;
    std::filesystem::remove_all(Wide(folder), ignored);
    ASSERT_TRUE(std::filesystem::create_directories(Wide(folder)));
  }

  void TearDown() override {
    if (program == nullptr)
      return;
    // A test that failed half way may have left a message, the About box or
    // a run on the screen: each is answered or cancelled, then Close ends
    // the program.
    for (int pass = 0; pass < 10 && main != nullptr && IsWindow(main); ++pass) {
      const std::vector<HWND> open = VisibleDialogs(program->Pid());
      if (open.size() <= 1)
        break;
      for (HWND window : open)
        if (window != main)
          PressButton(window, IsMessageBox(window) ? IDOK : IDCANCEL);
      WaitUntil([&] { return VisibleDialogs(program->Pid()) != open; }, 5000);
    }
    if (main != nullptr && IsWindow(main))
      PressButton(main, IDCANCEL);
    const std::optional<DWORD> code = program->WaitForExit();
    EXPECT_TRUE(code.has_value()) << "velkor.exe did not end after Close";
    EXPECT_EQ(code.value_or(0), 0u);
  }

  /// Starts velkor.exe (`path`, else the build's) and waits for its main
  /// window.
  void Start(const std::string &path = ProgramPath()) {
    program = std::make_unique<DesktopProgram>(path);
    main = program->WaitForDialog("Velkor");
    ASSERT_NE(main, nullptr) << "no main window from " << path;
    list = std::make_unique<RemoteListView>(GetDlgItem(main, IDC_BROWSER_LIST), program->Pid());
  }

  std::string Path(const std::string &name) const { return folder + "\\" + name; }

  /// Copies the fixture `fixture` (a name under the fixtures' slack/: free
  /// space inside, so a fresh copy is smaller) to `name` in the folder.
  std::string Place(const std::string &fixture, const std::string &name) const {
    const std::string to = Path(name);
    std::filesystem::create_directories(std::filesystem::path(Wide(to)).parent_path());
    std::filesystem::copy_file(
        Wide(OnDriveZ(std::string(VELKOR_WIN32UI_FIXTURES) + "/slack/" + fixture)), Wide(to),
        std::filesystem::copy_options::overwrite_existing);
    return to;
  }

  static std::uintmax_t SizeOf(const std::string &path) {
    return std::filesystem::file_size(Wide(path));
  }

  /// The names of the copies a run left behind anywhere in the folder.
  std::vector<std::string> LeftoverCopies() const {
    std::vector<std::string> found;
    for (const std::filesystem::directory_entry &entry :
         std::filesystem::recursive_directory_iterator(Wide(folder))) {
      const std::string name = Utf8Of(entry.path().filename());
      if (name.starts_with("vkr") && name.ends_with(".tmp"))
        found.push_back(name);
    }
    return found;
  }

  std::string Label() const { return ControlText(main, IDC_CURRENT_DIRECTORY); }

  /// Waits until the browser's path label shows `path` (ShowsPath).
  bool LabelBecomes(const std::string &path) const {
    return WaitUntil([&] { return ShowsPath(Label(), path); });
  }

  /// Enters the item named `name` of the list with the Enter key, the list
  /// having the focus.
  void Enter(const std::string &name) {
    int at = -1;
    ASSERT_TRUE(WaitUntil([&] { return (at = list->Find(name)) >= 0; }))
        << name << " is not in the list " << ::testing::PrintToString(list->Texts());
    list->Select({at});
    ASSERT_TRUE(FocusControl(main, IDC_BROWSER_LIST));
    PostKey(GetDlgItem(main, IDC_BROWSER_LIST), VK_RETURN);
  }

  /// Shows `path` (a folder, written without a closing backslash) in the
  /// browser, from the drive list down, one Enter per folder.
  void Browse(const std::string &path) {
    ClickCheckBox(main, IDC_ALL_DRIVES, false);
    ASSERT_TRUE(WaitUntil([&] { return IsControlEnabled(main, IDC_BROWSER_LIST); }));
    ASSERT_TRUE(LabelBecomes("")) << "the browser starts in the drive list";
    std::string shown;
    std::size_t from = 0;
    while (from < path.size()) {
      std::size_t end = path.find('\\', from);
      if (end == std::string::npos)
        end = path.size();
      // A drive's item is its root, backslash included.
      const std::string name =
          shown.empty() ? path.substr(0, end + 1) : path.substr(from, end - from);
      Enter(name);
      shown += name.ends_with("\\") ? name : name + "\\";
      ASSERT_TRUE(LabelBecomes(shown)) << "after entering " << name << ": " << Label();
      from = end + 1;
    }
  }

  /// Selects exactly the items named `names` in the list.
  void SelectItems(const std::vector<std::string> &names) {
    std::vector<int> positions;
    for (const std::string &name : names) {
      positions.push_back(list->Find(name));
      ASSERT_GE(positions.back(), 0) << name;
    }
    list->Select(positions);
  }

  /// Waits for the message that ends a run and reads the progress window
  /// while it is open, then answers the message and waits for the main
  /// window to be enabled again and the progress window to go.
  RunEnd WaitForRunEnd() {
    RunEnd end;
    HWND box = program->WaitForMessageBox();
    if (box == nullptr) {
      ADD_FAILURE() << "no message at the end of the run";
      return end;
    }
    end.mainWindowDisabled = !IsWindowEnabled(main);
    HWND progress = nullptr;
    for (HWND window : VisibleDialogs(program->Pid()))
      if (window != main && window != box && !IsMessageBox(window))
        progress = window;
    if (progress != nullptr) {
      end.caption = WindowText(progress);
      for (int id : kCounterIds)
        end.counters.push_back(ControlText(progress, id));
      end.diskText = ControlText(progress, IDC_DISK_TEXT);
      end.statusText = ControlText(progress, IDC_STATUS_TEXT);
      end.fileText = ControlText(progress, IDC_FILE_TEXT);
    } else {
      ADD_FAILURE() << "no progress window on view at the end of the run";
    }
    end.message = program->DismissMessageBox();
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != 0; }))
        << "the main window stays disabled after the run";
    if (progress != nullptr) {
      EXPECT_TRUE(WaitUntil([&] { return !IsWindow(progress); })) << "the progress window stays";
    }
    return end;
  }

  std::string folder;
  std::unique_ptr<DesktopProgram> program;
  HWND main = nullptr;
  std::unique_ptr<RemoteListView> list;
};
} // namespace velkor::test
