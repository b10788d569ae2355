//===- tests/ui/start_test.cpp - Whole runs started from the main window ---===//
///
/// \file
/// Start pressed in the real main window over a temporary folder of real
/// compound documents and other files: the message boxes are answered as a
/// user would, the progress window is read while its last message is open,
/// and the files on disk are checked afterwards.
///
//===----------------------------------------------------------------------===//

#include "core/exceptions.h"
#include "support/test_tree.h"
#include "engine/user_abort.h"
#include "ui/base_directory_browser.h"
#include "ui/main_dialog.h"
#include "ui/messages.h"
#include "ui/progress_dialog.h"
#include "ui/session_end.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <unistd.h>
#include <filesystem>

using namespace velkor::test;

namespace {

namespace fs = std::filesystem;

/// What the progress window showed at one moment.
struct ProgressSnapshot {
  QString caption;
  QStringList counters; ///< the seven counter texts, top left to bottom right
};

ProgressDialog *VisibleProgressWindow() {
  for (QWidget *window : QApplication::topLevelWidgets())
    if (auto *progress = qobject_cast<ProgressDialog *>(window); progress && progress->isVisible())
      return progress;
  return nullptr;
}

ProgressSnapshot Snapshot(const ProgressDialog &progress) {
  const Ui::ProgressDialog &form = progress.Form();
  return {progress.windowTitle(),
          {form.totalFilesText->text(), form.documentFilesText->text(),
           form.compressedFilesText->text(), form.bytesBeforeText->text(),
           form.bytesAfterText->text(), form.bytesReducedText->text(), form.ratioText->text()}};
}

class StartTest : public testing::Test {
protected:
  void SetUp() override {
    previousDirectory = fs::current_path();
    tree.WriteDocument("docs/a.doc", 1);
    tree.WriteDocument("docs/sub/b.xls", 2);
    tree.WriteDocument("docs/sub/deeper/c.doc", 3);
    tree.Write("docs/notes.doc", "plain text, not a compound document\n");
    tree.Write("docs/readme.txt", "not matched by the masks\n");
    for (const char *name : {"docs/a.doc", "docs/sub/b.xls", "docs/sub/deeper/c.doc"})
      before[name] = StateOf(tree.Path(name));

    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    // Drive mode off, the masks *.doc *.xls, the folder "docs" selected.
    form.allDrivesBox->click();
    form.allFilesBox->click();
    dialog.Browser().ShowDirectory(TTString(tree.Root().c_str()));
    SelectOnly("docs");
  }

  void TearDown() override { fs::current_path(previousDirectory); }

  /// Adds 80 documents below docs/more and answers the names of all the
  /// documents, so that a run takes long enough to be stopped in the middle.
  std::vector<std::string> WithEightyMoreDocuments() {
    std::vector<std::string> names = {"docs/a.doc", "docs/sub/b.xls", "docs/sub/deeper/c.doc"};
    for (unsigned i = 0; i < 80; ++i) {
      names.push_back("docs/more/d" + std::to_string(i) + ".doc");
      tree.WriteDocument(names.back(), 10 + i);
      before[names.back()] = StateOf(tree.Path(names.back()));
    }
    return names;
  }

  /// A run stopped in the middle: some of `names` are replaced by smaller
  /// copies, the others are untouched.
  void ExpectStoppedPartWay(const std::vector<std::string> &names) {
    int replaced = 0;
    for (const std::string &name : names) {
      if (Unchanged(name.c_str()))
        continue;
      ++replaced;
      EXPECT_LT(StateOf(tree.Path(name)).size, before.at(name).size) << name;
    }
    EXPECT_GE(replaced, 1);
    EXPECT_LT(replaced, static_cast<int>(names.size())) << "the run went on to its end";
  }

  void SelectOnly(const QString &text) {
    form.browserList->clearSelection();
    const QList<QListWidgetItem *> items = form.browserList->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << text.toStdString();
    items.first()->setSelected(true);
  }

  /// Presses Start and answers every message with OK; the progress window
  /// is read whenever a message comes up.
  void Start() {
    ModalAnswerer answerer([this](QWidget *modal) {
      if (qobject_cast<QMessageBox *>(modal))
        if (ProgressDialog *progress = VisibleProgressWindow())
          atMessage = Snapshot(*progress);
      return false;
    });
    QTest::mouseClick(form.startButton, Qt::LeftButton);
    messages = answerer.messages;
    captions = answerer.captions;
  }

  /// After every ending: the window is usable again and no progress window
  /// is left on screen.
  void ExpectIdleAgain() {
    EXPECT_TRUE(dialog.isEnabled());
    EXPECT_TRUE(form.startButton->isEnabled());
    EXPECT_FALSE(dialog.RunInProgress());
    EXPECT_EQ(VisibleProgressWindow(), nullptr);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(tree.TempFiles().empty());
    // The current directory is the one the browser shows, as before Start.
    EXPECT_EQ(fs::current_path().string() + "/", dialog.Browser().CurrentPath().CStr());
  }

  bool Unchanged(const char *name) const {
    const FileState now = StateOf(tree.Path(name));
    const FileState &was = before.at(name);
    return now.inode == was.inode && now.size == was.size && now.contentHash == was.contentHash;
  }

  fs::path previousDirectory;
  TempDir tree;
  std::map<std::string, FileState> before;
  MainDialog dialog;
  Ui::MainDialog &form = dialog.Form();
  QStringList messages;
  QStringList captions;
  ProgressSnapshot atMessage;
};

/// The counters a run over the three documents and one plain *.doc shows.
QStringList ExpectedCounters(std::uint64_t bytesBefore, std::uint64_t bytesAfter) {
  const std::uint64_t permille = bytesAfter * 1000 / bytesBefore;
  return {"4",
          "3",
          "3",
          QString::number(bytesBefore),
          QString::number(bytesAfter),
          QString::number(bytesBefore - bytesAfter),
          QString::asprintf("%3u.%1u%%", unsigned(permille / 10), unsigned(permille % 10))};
}

TEST_F(StartTest, AnEstimateCountsEverythingAndChangesNoFile) {
  form.estimateModeBox->click();
  Start();
  EXPECT_EQ(messages, QStringList({"Process is complete"}));
  EXPECT_EQ(captions, QStringList({"Velkor"}));
  EXPECT_EQ(atMessage.caption, "Estimating compression ratio");
  ASSERT_EQ(atMessage.counters.size(), 7);
  const std::uint64_t sizeBefore = before["docs/a.doc"].size + before["docs/sub/b.xls"].size +
                                   before["docs/sub/deeper/c.doc"].size;
  EXPECT_EQ(atMessage.counters[3], QString::number(sizeBefore));
  const std::uint64_t sizeAfter = atMessage.counters[4].toULongLong();
  EXPECT_LT(sizeAfter, sizeBefore);
  EXPECT_EQ(atMessage.counters, ExpectedCounters(sizeBefore, sizeAfter));
  for (const char *name : {"docs/a.doc", "docs/sub/b.xls", "docs/sub/deeper/c.doc"})
    EXPECT_TRUE(Unchanged(name)) << name;
  ExpectIdleAgain();
  // A run changes nothing in the window.
  EXPECT_TRUE(form.estimateModeBox->isChecked());
  EXPECT_EQ(form.wildcardsEdit->text(), "*.doc *.xls");
  EXPECT_EQ(form.browserList->selectedItems().size(), 1);
  EXPECT_EQ(dialog.Browser().CurrentPath().CStr(), tree.Root());
}

TEST_F(StartTest, ACompressingRunReplacesTheDocumentsKeepingTheirContent) {
  std::map<std::string, std::string> listings;
  for (const auto &[name, state] : before)
    listings[name] = OleListing(tree.Path(name));
  // An estimate first: it must show what the compressing run then does.
  form.estimateModeBox->click();
  Start();
  const QStringList estimated = atMessage.counters;
  form.estimateModeBox->click();
  Start();
  EXPECT_EQ(messages, QStringList({"Process is complete"}));
  EXPECT_EQ(atMessage.caption, "Compressing files");
  std::uint64_t sizeBefore = 0, sizeAfter = 0;
  for (const auto &[name, state] : before) {
    const FileState now = StateOf(tree.Path(name));
    EXPECT_LT(now.size, state.size) << name;
    EXPECT_EQ(now.mode, state.mode) << name;
    EXPECT_TRUE(SameTime(now.modified, state.modified)) << name;
    EXPECT_EQ(OleListing(tree.Path(name)), listings[name]) << name;
    sizeBefore += static_cast<std::uint64_t>(state.size);
    sizeAfter += static_cast<std::uint64_t>(now.size);
  }
  EXPECT_EQ(atMessage.counters, ExpectedCounters(sizeBefore, sizeAfter));
  EXPECT_EQ(atMessage.counters, estimated);
  EXPECT_EQ(tree.Read("docs/notes.doc"), "plain text, not a compound document\n");
  ExpectIdleAgain();
}

TEST_F(StartTest, ASelectedFileAndFolderAreBothRun) {
  dialog.Browser().ShowDirectory(TTString(tree.Path("docs/").c_str()));
  form.browserList->clearSelection();
  for (const char *name : {"a.doc", "sub"})
    form.browserList->findItems(name, Qt::MatchExactly).first()->setSelected(true);
  form.estimateModeBox->click();
  Start();
  EXPECT_EQ(messages, QStringList({"Process is complete"}));
  ASSERT_EQ(atMessage.counters.size(), 7);
  EXPECT_EQ(atMessage.counters[0], "3"); // a.doc, sub/b.xls, sub/deeper/c.doc
  EXPECT_EQ(atMessage.counters[2], "3");
  ExpectIdleAgain();
}

TEST_F(StartTest, StopDuringTheScanEndsBeforeAnyDocument) {
  QTimer stopper;
  stopper.setInterval(0);
  QObject::connect(&stopper, &QTimer::timeout, [&] {
    if (ProgressDialog *progress = VisibleProgressWindow()) {
      // While the run works, the main window is disabled and will not close.
      EXPECT_FALSE(dialog.isEnabled());
      dialog.reject();
      QTest::mouseClick(progress->Form().stopButton, Qt::LeftButton);
    }
  });
  stopper.start();
  Start();
  EXPECT_EQ(messages, QStringList({"Process was stopped"}));
  for (const char *name : {"docs/a.doc", "docs/sub/b.xls", "docs/sub/deeper/c.doc"})
    EXPECT_TRUE(Unchanged(name)) << name;
  ExpectIdleAgain();
}

// The run may work on several documents at once: those in hand when Stop
// is pressed are finished, no other is started, and the counters tell
// exactly what was replaced.
TEST_F(StartTest, StopDuringCompactionKeepsWhatIsDone) {
  const std::vector<std::string> names = WithEightyMoreDocuments();
  QTimer stopper;
  stopper.setInterval(0);
  QObject::connect(&stopper, &QTimer::timeout, [&] {
    ProgressDialog *progress = VisibleProgressWindow();
    // Workers may finish several documents between two looks.
    if (progress && progress->Form().compressedFilesText->text().toInt() >= 1)
      QTest::keyClick(progress, Qt::Key_Escape);
  });
  stopper.start();
  Start();
  EXPECT_EQ(messages, QStringList({"Process was stopped"}));
  ExpectStoppedPartWay(names);
  EXPECT_TRUE(tree.TempFiles().empty());
  ExpectIdleAgain();
}

// SIGTERM, as a desktop session or `kill` sends it, reaches the window as
// the program wires it: the run stops between documents as with Stop, shows
// no message nobody is left to answer, leaves no temporary file, and every
// event loop ends, which ends the program.
TEST_F(StartTest, SigtermDuringARunStopsItAndEndsTheProgram) {
  const std::vector<std::string> names = WithEightyMoreDocuments();
  SessionEndSignals sessionEnd;
  QObject::connect(&sessionEnd, &SessionEndSignals::Received, &dialog, &MainDialog::EndSession);
  bool sent = false;
  QTimer terminator;
  terminator.setInterval(0);
  QObject::connect(&terminator, &QTimer::timeout, [&] {
    ProgressDialog *progress = VisibleProgressWindow();
    if (!sent && progress && progress->Form().compressedFilesText->text().toInt() >= 1) {
      sent = true;
      kill(getpid(), SIGTERM);
    }
  });
  terminator.start();
  bool timedOut = false;
  QTimer::singleShot(0, [&] { Start(); });
  QTimer::singleShot(60000, [&] {
    timedOut = true;
    QCoreApplication::exit(0);
  });
  dialog.exec(); // the program's own loop: the session's end must end it
  terminator.stop();
  ASSERT_TRUE(sent);
  EXPECT_FALSE(timedOut) << "the program went on after SIGTERM";
  EXPECT_EQ(messages, QStringList());
  ExpectStoppedPartWay(names);
  EXPECT_TRUE(tree.TempFiles().empty());
  EXPECT_FALSE(dialog.RunInProgress());
  // The end of every event loop holds for this test program too; one more
  // run of the application's loop clears that for the next tests.
  QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
  QCoreApplication::exec();
}

TEST_F(StartTest, AQuitRequestDuringARunTakesEffectAfterIt) {
  form.estimateModeBox->click();
  bool sent = false;
  QTimer quitter;
  quitter.setInterval(0);
  QObject::connect(&quitter, &QTimer::timeout, [&] {
    if (!sent && VisibleProgressWindow()) {
      sent = true;
      QEvent quit(QEvent::Quit); // what the platform sends when the session ends
      QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
      EXPECT_TRUE(dialog.isVisible());
    }
  });
  quitter.start();
  Start();
  quitter.stop();
  ASSERT_TRUE(sent);
  EXPECT_EQ(messages, QStringList({"Process is complete"}));
  EXPECT_EQ(atMessage.counters.value(2), "3");
  // Then the held-back request closes the window, which ends the program.
  QCoreApplication::processEvents();
  EXPECT_FALSE(dialog.isVisible());
  // The request also told every event loop of this test program to end;
  // one more run of the application's loop clears that for the next tests.
  QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
  QCoreApplication::exec();
}

TEST_F(StartTest, TheMasksAreCheckedBeforeTheSelection) {
  form.wildcardsEdit->setText("  \t ");
  form.browserList->clearSelection();
  Start();
  EXPECT_EQ(messages, QStringList({"You must specify files and wildcars field"}));
  ExpectIdleAgain();
  form.wildcardsEdit->setText("*.doc");
  SelectOnly("..");
  Start();
  EXPECT_EQ(messages, QStringList({"No items were selected"}));
  ExpectIdleAgain();
  for (const char *name : {"docs/a.doc", "docs/sub/b.xls", "docs/sub/deeper/c.doc"})
    EXPECT_TRUE(Unchanged(name)) << name;
}

TEST_F(StartTest, EnterOnTheStartButtonStartsARun) {
  form.estimateModeBox->click();
  form.startButton->setFocus();
  ModalAnswerer answerer;
  QTest::keyClick(form.startButton, Qt::Key_Return);
  EXPECT_EQ(answerer.messages, QStringList({"Process is complete"}));
  ExpectIdleAgain();
}

TEST(RunCommand, AnErrorThatEscapesIsShownWithItsFile) {
  QWidget owner;
  ModalAnswerer answerer;
  RunCommand(&owner, [] {
    throw TTFileWithNameException(TTString("/srv/docs/a.doc"), TTFileError::accessDenied, EACCES);
  });
  RunCommand(&owner, [] { throw UserAbort(); }); // its message was shown already
  RunCommand(&owner, [] {});
  EXPECT_EQ(answerer.messages, QStringList({"access denied: /srv/docs/a.doc"}));
  EXPECT_EQ(answerer.captions, QStringList({"Velkor"}));
}

} // namespace
