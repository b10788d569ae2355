//===- win32ui/windows/desktop_program_test.cpp - velkor.exe's own windows -===//
///
/// \file
/// velkor.exe run under Wine as a process of its own and driven through its
/// real windows (support/windows/dialog_driver.h): a folder of fixture
/// documents chosen in the browser and run in estimate and compressing mode,
/// the seven counters read from the progress window while "Process is
/// complete" is open, Stop in the middle of a run, the browser's keys and
/// messages, the Help button's message when the page is missing, and the
/// About box from its button and from the system menu. The documents the
/// runs compacted stay in VELKOR_WIN32UI_RUNS, where python3-olefile reads
/// them on the Linux side (win32ui_windows.OlefileReadsTheCompactedDocuments).
///
//===----------------------------------------------------------------------===//

#include "win32ui/windows/desktop_program.h"

#include "engine/run_messages.h"
#include "engine/run_statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

// After the project's headers: <windows.h> defines macros they may name.
#include <windows.h>

namespace {

namespace fs = std::filesystem;
using namespace velkor::test;

/// The counter texts a run that counted `statistics` shows.
std::vector<std::string> CounterTexts(const RunStatistics &statistics) {
  std::vector<std::string> texts;
  for (CounterField field :
       {CounterField::totalFiles, CounterField::documentFiles, CounterField::compressedFiles,
        CounterField::bytesBefore, CounterField::bytesAfter, CounterField::bytesReduced,
        CounterField::ratio})
    texts.emplace_back(FormatCounter(field, statistics).CStr());
  return texts;
}

// Estimate, then compress, over a folder chosen in the browser. The counters
// are read from the progress window while "Process is complete" is open:
// the estimate's are the compressing run's, and only the byte figures of
// the documents that shrank count. The estimate changes no file.
TEST_F(DesktopProgramTest, EstimateThenCompressAFolderChosenInTheBrowser) {
  const std::map<std::string, std::string> documents = {
      {"docs\\text.doc", "text.doc"},
      {"docs\\numbers.xls", "numbers.xls"},
      {"docs\\sub\\table.doc", "table.doc"},
      {"docs\\sub\\sheets.xls", "sheets.xls"},
  };
  std::map<std::string, std::uintmax_t> before;
  for (const auto &[name, fixture] : documents)
    before[name] = SizeOf(Place(fixture, name));
  WriteText(Path("docs\\notes.txt"), "not a compound document\n");

  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Browse(folder));
  ASSERT_NO_FATAL_FAILURE(SelectItems({"docs"}));
  ClickCheckBox(main, IDC_ESTIMATE_MODE, true);
  PressButton(main, IDC_START);
  const RunEnd estimate = WaitForRunEnd();
  EXPECT_EQ(estimate.message.caption, "Velkor");
  EXPECT_EQ(estimate.message.text, RunMessage::kComplete);
  EXPECT_EQ(estimate.caption, RunCaption::kEstimating);
  EXPECT_TRUE(estimate.mainWindowDisabled) << "the main window is disabled during a run";
  // The finished run has emptied the folder and file lines; the status line
  // names the last phase.
  EXPECT_EQ(estimate.diskText, "");
  EXPECT_EQ(estimate.fileText, "");
  EXPECT_EQ(estimate.statusText, RunStatus::kCompressing);
  for (const auto &[name, size] : before)
    EXPECT_EQ(SizeOf(Path(name)), size) << name << ": an estimate changes nothing";

  // The compressing run takes the documents by the wildcards, so the text
  // file is no candidate this time.
  ClickCheckBox(main, IDC_ESTIMATE_MODE, false);
  ClickCheckBox(main, IDC_ALL_FILES, false);
  ASSERT_TRUE(WaitUntil([&] { return IsControlEnabled(main, IDC_WILDCARDS); }));
  SetControlText(main, IDC_WILDCARDS, "  *.doc   *.xls ");
  PressButton(main, IDC_START);
  const RunEnd compress = WaitForRunEnd();
  EXPECT_EQ(compress.message.text, RunMessage::kComplete);
  EXPECT_EQ(compress.caption, RunCaption::kCompressing);

  RunStatistics expected;
  expected.totalFiles = 4;
  for (const auto &[name, size] : before) {
    const std::uintmax_t after = SizeOf(Path(name));
    EXPECT_LT(after, size) << name;
    ++expected.documentFiles;
    ++expected.compressedFiles;
    expected.bytesBefore += size;
    expected.bytesAfter += after;
  }
  EXPECT_EQ(compress.counters, CounterTexts(expected));
  // All files: the text file is a candidate too, and so is the folder sub,
  // which the mask "*" names as well.
  expected.totalFiles = 6;
  EXPECT_EQ(estimate.counters, CounterTexts(expected));
  EXPECT_EQ(LeftoverCopies(), std::vector<std::string>{});
  // A run changes nothing in the main window.
  EXPECT_TRUE(ShowsPath(Label(), folder + "\\"));
  EXPECT_EQ(ControlText(main, IDC_WILDCARDS), "  *.doc   *.xls ");
  EXPECT_EQ(list->Selected(), std::vector<int>{list->Find("docs")});
}

// Stop in the middle of a run over a folder of many documents, by the Stop
// button, the Escape key and the window's close box: the progress window
// goes, the run ends with "Process was stopped" before its end, the main
// window works again and no copy is left behind. What was compacted stays
// compacted (olefile reads every document afterwards).
TEST_F(DesktopProgramTest, StopEndsARunBetweenDocuments) {
  constexpr int kDocuments = 1000;
  const struct {
    const char *folder;
    std::function<void(HWND)> stop;
  } ways[] = {
      {"stop-button", [](HWND progress) { PressButton(progress, IDCANCEL); }},
      {"escape-key", [](HWND progress) { PostKey(progress, VK_ESCAPE); }},
      {"close-box", [](HWND progress) { PostMessageW(progress, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const auto &way : ways)
    for (int i = 0; i < kDocuments; ++i)
      Place("text.doc", std::string(way.folder) + "\\d" + std::to_string(1000 + i) + ".doc");
  const std::uintmax_t original = SizeOf(Path("stop-button\\d1000.doc"));

  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Browse(folder));
  for (const auto &way : ways) {
    SCOPED_TRACE(way.folder);
    ASSERT_NO_FATAL_FAILURE(SelectItems({way.folder}));
    PressButton(main, IDC_START);
    HWND progress = program->WaitForDialog(RunCaption::kCompressing, {main});
    ASSERT_NE(progress, nullptr) << "no progress window";
    // Once the first documents are counted, the run is in its compaction
    // phase.
    ASSERT_TRUE(WaitUntil(
        [&] { return !IsWindow(progress) || ControlText(progress, IDC_DOCUMENT_FILES) != "0"; }));
    EXPECT_EQ(ControlText(progress, IDC_STATUS_TEXT), RunStatus::kCompressing);
    way.stop(progress);
    ASSERT_NE(program->WaitForMessageBox(), nullptr);
    EXPECT_FALSE(IsWindow(progress) && IsWindowVisible(progress))
        << "the progress window stays on view after Stop";
    const MessageBoxContent message = program->DismissMessageBox();
    EXPECT_EQ(message.text, RunMessage::kStopped);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != 0; }));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(progress); })) << "the progress window stays";

    int compacted = 0;
    for (int i = 0; i < kDocuments; ++i)
      compacted +=
          SizeOf(Path(std::string(way.folder) + "\\d" + std::to_string(1000 + i) + ".doc")) <
          original;
    EXPECT_GT(compacted, 0);
    EXPECT_LT(compacted, kDocuments) << "the run went on to its end";
  }
  EXPECT_EQ(LeftoverCopies(), std::vector<std::string>{});
}

// The start-up state, and the browser's keys: Enter enters the lowest
// selected item when the list has the focus and does nothing elsewhere,
// Backspace goes up to the drive list and no further; ".." alone is no
// base entry; a file, or a folder gone since it was listed, cannot be
// entered; wildcards of spaces alone are refused.
TEST_F(DesktopProgramTest, BrowserKeysAndMessages) {
  fs::create_directories(Wide(Path("alpha")));
  fs::create_directories(Wide(Path("Beta")));
  WriteText(Path("gamma.doc"), "a file");

  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(CheckState(main, IDC_ESTIMATE_MODE), BST_UNCHECKED);
  EXPECT_EQ(CheckState(main, IDC_RECURSIVE), BST_CHECKED);
  EXPECT_EQ(CheckState(main, IDC_ALL_DRIVES), BST_CHECKED);
  EXPECT_EQ(CheckState(main, IDC_ALL_FILES), BST_CHECKED);
  EXPECT_EQ(ControlText(main, IDC_WILDCARDS), "*.doc *.xls");
  EXPECT_FALSE(IsControlEnabled(main, IDC_WILDCARDS));
  EXPECT_FALSE(IsControlEnabled(main, IDC_WILDCARDS_LABEL));
  EXPECT_FALSE(IsControlEnabled(main, IDC_BROWSER_LIST));
  EXPECT_FALSE(IsControlEnabled(main, IDC_BASE_DIRECTORIES));
  EXPECT_TRUE(IsControlEnabled(main, IDC_CURRENT_DIRECTORY));
  EXPECT_EQ(Label(), "");
  EXPECT_EQ(FocusedWindow(main), GetDlgItem(main, IDC_ESTIMATE_MODE));
  const std::vector<std::string> drives = list->Texts();
  EXPECT_NE(std::find(drives.begin(), drives.end(), "Z:\\"), drives.end())
      << ::testing::PrintToString(drives);
  EXPECT_EQ(list->Selected(), std::vector<int>{0});

  ASSERT_NO_FATAL_FAILURE(Browse(folder));
  const std::string shown = folder + "\\";
  EXPECT_EQ(list->Texts(), (std::vector<std::string>{"..", "alpha", "Beta", "gamma.doc"}));
  EXPECT_EQ(list->Selected(), std::vector<int>{0});

  // Enter with two folders selected enters the first in list order.
  list->Select({2, 1});
  ASSERT_TRUE(FocusControl(main, IDC_BROWSER_LIST));
  PostKey(GetDlgItem(main, IDC_BROWSER_LIST), VK_RETURN);
  EXPECT_TRUE(LabelBecomes(shown + "alpha\\")) << Label();
  EXPECT_EQ(list->Texts(), std::vector<std::string>{".."});
  PostKey(GetDlgItem(main, IDC_BROWSER_LIST), VK_BACK);
  EXPECT_TRUE(LabelBecomes(shown)) << Label();

  // Enter while the focus is on a check box enters nothing and closes
  // nothing. Moving the focus back afterwards is handled after the key.
  ASSERT_NO_FATAL_FAILURE(SelectItems({"Beta"}));
  ASSERT_TRUE(FocusControl(main, IDC_RECURSIVE));
  PostKey(GetDlgItem(main, IDC_RECURSIVE), VK_RETURN);
  ASSERT_TRUE(FocusControl(main, IDC_BROWSER_LIST));
  EXPECT_TRUE(ShowsPath(Label(), shown)) << Label();
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_FALSE(program->ShowsMessageBox());

  // ".." alone gives no base entry.
  list->Select({0});
  PressButton(main, IDC_START);
  MessageBoxContent message = program->DismissMessageBox();
  EXPECT_EQ(message.caption, "Velkor");
  EXPECT_EQ(message.text, RunMessage::kNoItemsSelected);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != 0; }));

  // A file cannot be entered; the list stays as it was.
  Enter("gamma.doc");
  message = program->DismissMessageBox();
  EXPECT_EQ(message.text, "Can not enter to file");
  EXPECT_TRUE(ShowsPath(Label(), shown)) << Label();
  EXPECT_EQ(list->Count(), 4);

  // A folder gone since the list was made cannot be shown; the list stays.
  fs::remove(Wide(Path("Beta")));
  Enter("Beta");
  message = program->DismissMessageBox();
  EXPECT_TRUE(SameLetters(message.text, "Can not set directory: " + shown + "Beta\\"))
      << message.text;
  EXPECT_TRUE(ShowsPath(Label(), shown)) << Label();
  EXPECT_EQ(list->Count(), 4);

  // Wildcards of spaces alone are refused before the selection is read.
  ClickCheckBox(main, IDC_ALL_FILES, false);
  SetControlText(main, IDC_WILDCARDS, "   ");
  list->Select({});
  PressButton(main, IDC_START);
  EXPECT_EQ(program->DismissMessageBox().text, RunMessage::kNoWildcards);
  ClickCheckBox(main, IDC_ALL_FILES, true);

  // Backspace climbs to the drive list, one folder at a time, and the
  // drive list stays.
  for (std::string current = shown; !current.empty();) {
    const std::size_t parentEnd = current.find_last_of('\\', current.size() - 2);
    const std::string parent =
        parentEnd == std::string::npos ? "" : current.substr(0, parentEnd + 1);
    ASSERT_TRUE(FocusControl(main, IDC_BROWSER_LIST));
    PostKey(GetDlgItem(main, IDC_BROWSER_LIST), VK_BACK);
    ASSERT_TRUE(LabelBecomes(parent)) << "up from " << current << ": " << Label();
    current = parent;
  }
  EXPECT_EQ(list->Texts(), drives);
  PostKey(GetDlgItem(main, IDC_BROWSER_LIST), VK_BACK);
  ASSERT_TRUE(FocusControl(main, IDC_ESTIMATE_MODE));
  EXPECT_EQ(Label(), "");
  EXPECT_EQ(list->Texts(), drives);
}

// Help names the page it looked for when the program's folder has none.
TEST_F(DesktopProgramTest, HelpWithoutItsPageNamesThePath) {
  TempFolder alone;
  const std::string copy = alone / "velkor.exe";
  ASSERT_TRUE(CopyFileW(Wide(ProgramPath()).c_str(), Wide(copy).c_str(), TRUE)) << GetLastError();
  ASSERT_NO_FATAL_FAILURE(Start(copy));
  PressButton(main, IDC_HELP_BUTTON);
  const MessageBoxContent message = program->DismissMessageBox();
  EXPECT_EQ(message.caption, "Velkor");
  const std::string prefix = "The help page cannot be found:\n";
  ASSERT_TRUE(message.text.starts_with(prefix)) << message.text;
  EXPECT_TRUE(SameLetters(message.text.substr(prefix.size()), alone / "Velkor.htm"))
      << message.text;
  EXPECT_TRUE(IsWindowEnabled(main));
  // Close before the folder goes, the program with it.
  PressButton(main, IDCANCEL);
  EXPECT_TRUE(program->WaitForExit().has_value());
  program.reset();
}

// The About box from its button and from the system menu's command: the
// same window, modal over the main window; the link buttons show their
// addresses; OK and Enter close it. Escape then closes the main window.
TEST_F(DesktopProgramTest, AboutBoxFromTheButtonAndTheSystemMenu) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const struct {
    const char *how;
    bool fromMenu;
    bool closeWithEnter;
  } ways[] = {{"About... button", false, false}, {"system menu", true, true}};
  std::vector<std::string> firstTexts;
  for (const auto &way : ways) {
    SCOPED_TRACE(way.how);
    if (way.fromMenu)
      PostMessageW(main, WM_SYSCOMMAND, IDM_ABOUT_BOX, 0);
    else
      PressButton(main, IDC_ABOUT);
    HWND about = program->WaitForDialog("About Velkor", {main});
    ASSERT_NE(about, nullptr);
    EXPECT_FALSE(IsWindowEnabled(main)) << "the About box is modal";
    EXPECT_EQ(GetWindow(about, GW_OWNER), main);
    std::vector<std::string> texts;
    for (HWND child = GetWindow(about, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
      texts.push_back(WindowText(child));
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Velkor"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Version 1.00"), texts.end());
    EXPECT_TRUE(ControlText(about, IDC_WEB_PAGE).starts_with("https://"))
        << ControlText(about, IDC_WEB_PAGE);
    EXPECT_TRUE(ControlText(about, IDC_MAIL).starts_with("mailto:"))
        << ControlText(about, IDC_MAIL);
    EXPECT_EQ(ControlText(about, IDOK), "OK");
    if (firstTexts.empty()) {
      firstTexts = texts;
    } else {
      EXPECT_EQ(texts, firstTexts) << "the same box both ways";
    }
    if (way.closeWithEnter)
      PostKey(about, VK_RETURN); // the focus is on OK, the default button
    else
      PressButton(about, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != 0; }));
  }

  // Escape in the main window ends the program.
  PostKey(main, VK_ESCAPE);
  EXPECT_EQ(program->WaitForExit(), std::optional<DWORD>(0));
  program.reset();
}

} // namespace
