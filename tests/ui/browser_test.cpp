//===- tests/ui/browser_test.cpp - The drive and directory browser ---------===//

#include "engine/user_abort.h"
#include "support/test_tree.h"
#include "ui/base_directory_browser.h"
#include "ui/main_dialog.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QCollator>
#include <QDir>
#include <QListWidget>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

/// A main window with the browser enabled, over a temporary tree; the
/// process's current directory is put back afterwards.
class BrowserTest : public testing::Test {
protected:
  void SetUp() override {
    previousDirectory = fs::current_path();
    // The walker shows no symbolic links, so the tree is named by its real path.
    root = fs::canonical(temp.Path()).string() + "/";
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    form.allDrivesBox->click();
    ASSERT_TRUE(form.browserList->isEnabled());
  }

  void TearDown() override { fs::current_path(previousDirectory); }

  void MakeDir(const std::string &relative) { fs::create_directories(root + relative); }
  void MakeFile(const std::string &relative) {
    const int fd = ::open((root + relative).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << relative;
    ::close(fd);
  }

  QStringList Texts() const {
    QStringList texts;
    for (int row = 0; row < form.browserList->count(); ++row)
      texts << form.browserList->item(row)->text();
    return texts;
  }
  int Row(const QString &text) const {
    const int row = static_cast<int>(Texts().indexOf(text));
    EXPECT_GE(row, 0) << "no item " << text.toStdString() << " in "
                      << Texts().join(", ").toStdString();
    return row;
  }
  std::string Path() const { return browser.CurrentPath().CStr(); }

  /// Double-clicks an item as the user would.
  void DoubleClick(const QString &text) {
    const int row = Row(text);
    ASSERT_GE(row, 0);
    QListWidgetItem *item = form.browserList->item(row);
    form.browserList->doItemsLayout(); // the view lays its items out lazily
    form.browserList->scrollToItem(item);
    const QRect rect = form.browserList->visualItemRect(item);
    ASSERT_TRUE(form.browserList->viewport()->rect().contains(rect.center()));
    const QPoint at = rect.center();
    // A widget double click arrives as press, release, double click; QTest
    // sends only the last, so the first press comes as a click.
    QTest::mouseClick(form.browserList->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(form.browserList->viewport(), Qt::LeftButton, {}, at);
  }
  void Select(std::initializer_list<QString> texts) {
    form.browserList->clearSelection();
    for (const QString &text : texts)
      form.browserList->item(Row(text))->setSelected(true);
  }
  /// Shows the tree's root directory in the browser.
  void ShowRoot() {
    browser.ShowDirectory(TTString(root.c_str()));
    ASSERT_EQ(Path(), root);
  }

  velkor::test::TempDir temp;
  fs::path previousDirectory;
  std::string root;
  MainDialog dialog;
  Ui::MainDialog &form = dialog.Form();
  BaseDirectoryBrowser &browser = dialog.Browser();
};

TEST_F(BrowserTest, StartsWithTheDriveList) {
  ASSERT_GT(form.browserList->count(), 0);
  EXPECT_EQ(Texts().first(), "/");
  for (const BrowserItem &item : browser.Items())
    EXPECT_EQ(item.kind, BrowserItemKind::Drive) << item.name.CStr();
  for (const QString &text : Texts())
    EXPECT_TRUE(text.endsWith('/')) << text.toStdString();
  EXPECT_EQ(form.browserList->selectedItems().size(), 1);
  EXPECT_TRUE(form.browserList->item(0)->isSelected());
  EXPECT_EQ(form.currentDirectoryLabel->text(), "");
  EXPECT_EQ(Path(), "");
}

TEST_F(BrowserTest, NavigatesFromTheDrivesDownAndBackUp) {
  MakeDir("Letters/2024");
  MakeFile("Letters/note.doc");
  // Drive list -> "/" -> each folder down to the tree, by double clicks.
  DoubleClick("/");
  EXPECT_EQ(Path(), "/");
  EXPECT_EQ(Texts().first(), "..");
  for (const auto &component : fs::path(root).relative_path())
    if (!component.empty())
      DoubleClick(QString::fromStdString(component.string()));
  ASSERT_EQ(Path(), root);
  EXPECT_EQ(Texts(), QStringList({"..", "Letters"}));
  EXPECT_EQ(form.currentDirectoryLabel->text(), QString::fromStdString(root));
  EXPECT_EQ(fs::current_path().string() + "/", root);

  // Enter with the focus on the list opens the selected folder.
  form.browserList->setFocus();
  Select({"Letters"});
  QTest::keyClick(form.browserList, Qt::Key_Return);
  ASSERT_EQ(Path(), root + "Letters/");
  EXPECT_EQ(Texts(), QStringList({"..", "2024", "note.doc"}));
  EXPECT_TRUE(form.browserList->item(0)->isSelected());

  // Backspace and ".." both go up one level.
  QTest::keyClick(form.browserList, Qt::Key_Backspace);
  EXPECT_EQ(Path(), root);
  DoubleClick("..");
  EXPECT_EQ(Path(), fs::path(root).parent_path().parent_path().string() + "/");
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(BrowserTest, BackspaceAtSlashShowsTheDrivesAndThenDoesNothing) {
  browser.ShowDirectory("/");
  form.browserList->setFocus();
  QTest::keyClick(form.browserList, Qt::Key_Backspace);
  EXPECT_EQ(Path(), "");
  EXPECT_EQ(Texts().first(), "/");
  const QStringList drives = Texts();
  QTest::keyClick(form.browserList, Qt::Key_Backspace);
  EXPECT_EQ(Path(), "");
  EXPECT_EQ(Texts(), drives);
}

TEST_F(BrowserTest, SortsFoldersFirstThenFilesEachWithoutRegardToCase) {
  for (const char *name : {"cherry", "Banana", "apple"})
    MakeDir(name);
  for (const char *name : {"cherry.txt", "apple.txt", "Banana.txt", ".hidden"})
    MakeFile(name);
  ShowRoot();
  EXPECT_EQ(Texts(), QStringList({"..", "apple", "Banana", "cherry", ".hidden", "apple.txt",
                                  "Banana.txt", "cherry.txt"}));
  // Exactly one "..", no ".", the first item selected and current.
  EXPECT_EQ(Texts().count(".."), 1);
  EXPECT_EQ(Texts().count("."), 0);
  EXPECT_EQ(form.browserList->selectedItems().size(), 1);
  EXPECT_EQ(form.browserList->currentRow(), 0);
  // Icons follow the kinds.
  const int folder = Row("apple"), file = Row("apple.txt");
  EXPECT_FALSE(form.browserList->item(folder)->icon().isNull());
  EXPECT_NE(form.browserList->item(folder)->icon().cacheKey(),
            form.browserList->item(file)->icon().cacheKey());
}

// ".." is a folder like the others and takes its place among them by its
// name, in the user's collation: names of punctuation may come before it.
TEST_F(BrowserTest, ParentSortsAmongTheFoldersByItsName) {
  const QStringList folders = {"_old", "#tmp", "-x", "~backup", "0", "!a", "apple"};
  for (const QString &name : folders)
    MakeDir(name.toUtf8().constData());
  MakeFile("!.doc");
  ShowRoot();
  QStringList expected = folders;
  expected.append("..");
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::sort(expected.begin(), expected.end(),
            [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
  expected.append("!.doc");
  EXPECT_EQ(Texts(), expected);
  // "!a" comes before ".." in every collation: by its bytes, and in the
  // order of punctuation that locales share.
  EXPECT_LT(Row("!a"), Row(".."));
  EXPECT_EQ(Texts().last(), "!.doc");
  // The first item is selected and current, whatever it is.
  EXPECT_EQ(form.browserList->currentRow(), 0);
  EXPECT_TRUE(form.browserList->item(0)->isSelected());
}

TEST_F(BrowserTest, ALargeFolderIsListedAndSorted) {
  for (int i = 0; i < 2000; ++i)
    MakeFile("f" + std::to_string((i * 7919) % 2000) + ".doc");
  ShowRoot();
  ASSERT_EQ(form.browserList->count(), 2001);
  const auto record = [&](int row) {
    return form.browserList->item(row)->data(Qt::UserRole).toInt();
  };
  for (int row = 1; row < form.browserList->count(); ++row)
    ASSERT_LT(browser.CompareItems(record(row - 1), record(row)), 0) << row;
  EXPECT_EQ(form.browserList->item(1)->text(), "f0.doc");
  EXPECT_EQ(form.browserList->item(2)->text(), "f1.doc");
  EXPECT_EQ(form.browserList->item(3)->text(), "f10.doc");
  // Every item's record matches its text.
  for (int row = 0; row < form.browserList->count(); ++row) {
    const int index = form.browserList->item(row)->data(Qt::UserRole).toInt();
    ASSERT_EQ(QString::fromUtf8(browser.Items().At(index).name.CStr()),
              form.browserList->item(row)->text());
  }
}

TEST_F(BrowserTest, AFileCannotBeEntered) {
  MakeFile("report.doc");
  ShowRoot();
  const QStringList before = Texts();
  ModalAnswerer answerer;
  DoubleClick("report.doc");
  EXPECT_EQ(answerer.messages, QStringList({"Can not enter to file"}));
  EXPECT_EQ(answerer.captions, QStringList({"Velkor"}));
  EXPECT_EQ(Path(), root);
  EXPECT_EQ(Texts(), before);
  // A double click on empty space does nothing.
  const QPoint empty = form.browserList->viewport()->rect().bottomRight() - QPoint(2, 2);
  QTest::mouseClick(form.browserList->viewport(), Qt::LeftButton, {}, empty);
  QTest::mouseDClick(form.browserList->viewport(), Qt::LeftButton, {}, empty);
  EXPECT_EQ(answerer.messages.size(), 1);
  EXPECT_EQ(Path(), root);
}

TEST_F(BrowserTest, AFolderThatCannotBeEnteredChangesNothing) {
  MakeDir("gone");
  MakeFile("stays.doc");
  ShowRoot();
  fs::remove(root + "gone");
  const QStringList before = Texts();
  ModalAnswerer answerer;
  DoubleClick("gone");
  EXPECT_EQ(answerer.messages,
            QStringList({QString::fromStdString("Can not set directory: " + root + "gone/")}));
  EXPECT_EQ(Path(), root);
  EXPECT_EQ(Texts(), before);
  EXPECT_EQ(fs::current_path().string() + "/", root);
}

TEST_F(BrowserTest, SelectionsBecomeBaseEntriesInListOrder) {
  MakeDir("Letters");
  MakeFile("report.doc");
  ShowRoot();
  // Selected in the opposite order; the entries come in list order.
  form.browserList->clearSelection();
  form.browserList->item(Row("report.doc"))->setSelected(true);
  form.browserList->item(Row("Letters"))->setSelected(true);
  form.browserList->item(Row(".."))->setSelected(true);
  TTObjectList<BaseEntry> entries;
  browser.SelectedBaseEntries(entries);
  ASSERT_EQ(entries.Count(), 2);
  EXPECT_EQ(std::string(entries.At(0).path.CStr()), root + "Letters/");
  EXPECT_FALSE(entries.At(0).isFile);
  EXPECT_EQ(std::string(entries.At(1).path.CStr()), root + "report.doc");
  EXPECT_TRUE(entries.At(1).isFile);
}

TEST_F(BrowserTest, ParentAloneOrNothingSelectedIsNoSelection) {
  MakeDir("Letters");
  ShowRoot();
  ModalAnswerer answerer;
  for (bool parentOnly : {true, false}) {
    if (parentOnly)
      Select({".."});
    else
      form.browserList->clearSelection();
    TTObjectList<BaseEntry> entries;
    EXPECT_THROW(browser.SelectedBaseEntries(entries), UserAbort);
    EXPECT_EQ(entries.Count(), 0);
  }
  EXPECT_EQ(answerer.messages, QStringList({"No items were selected", "No items were selected"}));
}

TEST_F(BrowserTest, DrivesAsBaseEntriesAreTheirRoots) {
  browser.ShowDirectory(TTString());
  Select({"/"});
  TTObjectList<BaseEntry> entries;
  browser.SelectedBaseEntries(entries);
  ASSERT_EQ(entries.Count(), 1);
  EXPECT_EQ(std::string(entries.At(0).path.CStr()), "/");
  EXPECT_FALSE(entries.At(0).isFile);
}

TEST_F(BrowserTest, NamesThatAreNotUtf8AreShownReadablyAndKeptAsBytes) {
  MakeFile("caf\xE9.doc");
  MakeDir("d\xFC"
          "r");
  // Control characters show as the terminal shows them, on one line.
  MakeFile("two\nlines\x1b[2J.doc");
  ShowRoot();
  EXPECT_EQ(Texts(), QStringList({"..", "d\\xFCr", "caf\\xE9.doc", "two\\nlines\\x1b[2J.doc"}));
  Select({"caf\\xE9.doc", "two\\nlines\\x1b[2J.doc"});
  TTObjectList<BaseEntry> entries;
  browser.SelectedBaseEntries(entries);
  ASSERT_EQ(entries.Count(), 2);
  EXPECT_EQ(std::string(entries.At(0).path.CStr()), root + "caf\xE9.doc");
  EXPECT_EQ(std::string(entries.At(1).path.CStr()), root + "two\nlines\x1b[2J.doc");
  // Entering a folder of such a name reaches it by its bytes.
  DoubleClick("d\\xFCr");
  EXPECT_EQ(Path(), root + "d\xFC"
                           "r/");
  EXPECT_EQ(form.currentDirectoryLabel->text(), QString::fromStdString(root) + "d\\xFCr/");
}

TEST_F(BrowserTest, EnterOpensTheFirstSelectedOnlyFromTheList) {
  MakeDir("a1");
  MakeDir("b2");
  MakeFile("c3.doc");
  ShowRoot();
  Select({"c3.doc", "b2", "a1"});
  // With the focus on the wildcards field, Enter does nothing.
  form.allFilesBox->click();
  form.wildcardsEdit->setFocus();
  QTest::keyClick(form.wildcardsEdit, Qt::Key_Return);
  EXPECT_EQ(Path(), root);
  form.browserList->setFocus();
  QTest::keyClick(form.browserList, Qt::Key_Return);
  EXPECT_EQ(Path(), root + "a1/");
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(BrowserTest, F5ListsTheFolderAgainKeepingTheSelection) {
  for (const char *name : {"a.doc", "b.doc", "c.doc"})
    MakeFile(name);
  ShowRoot();
  Select({"a.doc", "c.doc"});
  form.browserList->setCurrentRow(Row("c.doc"), QItemSelectionModel::NoUpdate);
  fs::remove(root + "a.doc");
  MakeFile("new.doc");
  MakeDir("New folder");
  form.browserList->setFocus();
  QTest::keyClick(form.browserList, Qt::Key_F5);
  EXPECT_EQ(Texts(), QStringList({"..", "New folder", "b.doc", "c.doc", "new.doc"}));
  ASSERT_EQ(form.browserList->selectedItems().size(), 1);
  EXPECT_EQ(form.browserList->selectedItems().first()->text(), "c.doc");
  EXPECT_EQ(form.browserList->currentRow(), Row("c.doc"));
  EXPECT_EQ(Path(), root);
  // With nothing of the selection left, the first item is selected; F5
  // works wherever the focus is in the window.
  fs::remove(root + "c.doc");
  form.startButton->setFocus();
  QTest::keyClick(form.startButton, Qt::Key_F5);
  EXPECT_EQ(Texts(), QStringList({"..", "New folder", "b.doc", "new.doc"}));
  ASSERT_EQ(form.browserList->selectedItems().size(), 1);
  EXPECT_TRUE(form.browserList->item(0)->isSelected());
  // A folder that has gone says so and changes nothing.
  const QStringList before = Texts();
  fs::current_path("/");
  fs::remove_all(root);
  ModalAnswerer answerer;
  QTest::keyClick(form.browserList, Qt::Key_F5);
  EXPECT_EQ(answerer.messages,
            QStringList({QString::fromStdString("Can not set directory: " + root)}));
  EXPECT_EQ(Texts(), before);
}

TEST_F(BrowserTest, TheSelectionSurvivesGreyingTheList) {
  MakeDir("keep");
  ShowRoot();
  Select({"keep"});
  form.allDrivesBox->click();
  EXPECT_FALSE(form.browserList->isEnabled());
  form.allDrivesBox->click();
  ASSERT_EQ(form.browserList->selectedItems().size(), 1);
  EXPECT_EQ(form.browserList->selectedItems().first()->text(), "keep");
  EXPECT_EQ(Path(), root);
}

} // namespace
