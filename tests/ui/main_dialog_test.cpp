//===- tests/ui/main_dialog_test.cpp - The main window ---------------------===//

#include "ui/about_dialog.h"
#include "ui/main_dialog.h"
#include "support/process.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QTest>

#include <regex>

namespace {

class MainDialogTest : public testing::Test {
protected:
  void ShowAndActivate() {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  }

  MainDialog dialog;
  Ui::MainDialog &form = dialog.Form();
};

TEST_F(MainDialogTest, AFreshStartShowsTheDefaults) {
  EXPECT_EQ(dialog.windowTitle(), "Velkor");
  EXPECT_FALSE(dialog.windowIcon().isNull());
  EXPECT_FALSE(form.estimateModeBox->isChecked());
  EXPECT_TRUE(form.recursiveBox->isChecked());
  EXPECT_TRUE(form.allDrivesBox->isChecked());
  EXPECT_TRUE(form.allFilesBox->isChecked());
  EXPECT_EQ(form.wildcardsEdit->text(), "*.doc *.xls");
  EXPECT_FALSE(form.wildcardsEdit->isEnabled());
  EXPECT_FALSE(form.wildcardsLabel->isEnabled());
  EXPECT_FALSE(form.baseDirectoriesGroup->isEnabled());
  EXPECT_FALSE(form.browserList->isEnabled());
  EXPECT_TRUE(form.currentDirectoryLabel->isEnabled());
  EXPECT_EQ(form.currentDirectoryLabel->text(), "");
  EXPECT_EQ(form.baseDirectoriesGroup->title(), "Base directories");
  EXPECT_EQ(form.wildcardsLabel->text(), "Wildcards:");
  EXPECT_EQ(form.estimateModeBox->text(), "Estimate mode");
  EXPECT_EQ(form.recursiveBox->text(), "Recursively");
  EXPECT_EQ(form.allDrivesBox->text(), "Process all non-removable drives");
  EXPECT_EQ(form.allFilesBox->text(), "All files");
  EXPECT_EQ(form.startButton->text(), "Start");
  EXPECT_EQ(form.helpButton->text(), "Help");
  EXPECT_EQ(form.aboutButton->text(), "About...");
  EXPECT_EQ(form.closeButton->text(), "Close");
  for (QPushButton *button :
       {form.startButton, form.helpButton, form.aboutButton, form.closeButton})
    EXPECT_FALSE(button->isDefault() || button->autoDefault())
        << button->objectName().toStdString();
  EXPECT_EQ(QFileInfo(dialog.ProgramDirectory()).canonicalFilePath(),
            QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath());
  EXPECT_TRUE(dialog.ProgramDirectory().endsWith('/'));
}

TEST_F(MainDialogTest, FocusStartsOnEstimateModeAndTabFollowsTheReadingOrder) {
  ShowAndActivate();
  EXPECT_EQ(QApplication::focusWidget(), form.estimateModeBox);
  // With every control enabled, Tab visits them in this order.
  form.allDrivesBox->click();
  form.allFilesBox->click();
  const QList<QWidget *> order = {form.estimateModeBox, form.recursiveBox,   form.allDrivesBox,
                                  form.browserList,     form.allFilesBox,    form.wildcardsEdit,
                                  form.startButton,     form.aboutButton,    form.closeButton,
                                  form.helpButton,      form.estimateModeBox};
  for (int i = 1; i < order.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), order[i])
        << "step " << i << ": " << QApplication::focusWidget()->objectName().toStdString();
  }
}

TEST_F(MainDialogTest, AllDrivesRuleGreysTheBrowserButNotItsPathLabel) {
  // The list starts with the drives, the first selected.
  ASSERT_GT(form.browserList->count(), 0);
  const int count = form.browserList->count();
  const QList<QListWidgetItem *> selected = form.browserList->selectedItems();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(form.browserList->row(selected.first()), 0);
  form.allDrivesBox->click();
  EXPECT_FALSE(form.allDrivesBox->isChecked());
  EXPECT_TRUE(form.baseDirectoriesGroup->isEnabled());
  EXPECT_TRUE(form.browserList->isEnabled());
  EXPECT_TRUE(form.currentDirectoryLabel->isEnabled());
  form.allDrivesBox->click();
  EXPECT_FALSE(form.baseDirectoriesGroup->isEnabled());
  EXPECT_FALSE(form.browserList->isEnabled());
  EXPECT_TRUE(form.currentDirectoryLabel->isEnabled());
  // Greying changes nothing of the list's content or selection.
  EXPECT_EQ(form.browserList->count(), count);
  EXPECT_EQ(form.browserList->selectedItems(), selected);
}

TEST_F(MainDialogTest, AllFilesRuleGreysTheWildcardsKeepingTheirText) {
  form.allFilesBox->click();
  EXPECT_TRUE(form.wildcardsEdit->isEnabled());
  EXPECT_TRUE(form.wildcardsLabel->isEnabled());
  EXPECT_EQ(form.wildcardsEdit->text(), "*.doc *.xls");
  form.wildcardsEdit->setText("*.ppt");
  form.allFilesBox->click();
  EXPECT_FALSE(form.wildcardsEdit->isEnabled());
  EXPECT_FALSE(form.wildcardsLabel->isEnabled());
  EXPECT_EQ(form.wildcardsEdit->text(), "*.ppt");
  // The rules never touch the other boxes.
  EXPECT_TRUE(form.allDrivesBox->isChecked());
  EXPECT_TRUE(form.recursiveBox->isChecked());
  EXPECT_FALSE(form.estimateModeBox->isChecked());
}

TEST_F(MainDialogTest, EnterNeverClosesTheWindow) {
  ShowAndActivate();
  form.allFilesBox->click();
  for (QWidget *target :
       {static_cast<QWidget *>(form.estimateModeBox), static_cast<QWidget *>(form.wildcardsEdit),
        static_cast<QWidget *>(form.allFilesBox)}) {
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Return);
    QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(dialog.isVisible()) << target->objectName().toStdString();
  }
  EXPECT_EQ(dialog.result(), 0);
}

TEST_F(MainDialogTest, EscapeAndCloseEndTheDialog) {
  ShowAndActivate();
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_FALSE(dialog.isVisible());
  ShowAndActivate();
  QTest::mouseClick(form.closeButton, Qt::LeftButton);
  EXPECT_FALSE(dialog.isVisible());
  ShowAndActivate();
  dialog.close();
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(MainDialogTest, WindowMenuEndsWithAboutVelkor) {
  const QList<QAction *> actions = dialog.WindowMenu()->actions();
  ASSERT_GE(actions.size(), 2);
  EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
  EXPECT_EQ(actions.last()->text(), "&About Velkor...");
}

TEST_F(MainDialogTest, RightClickOnTheWindowOpensItsMenu) {
  ShowAndActivate();
  QStringList shown;
  QTimer closer;
  closer.setInterval(10);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
      for (QAction *action : menu->actions())
        shown << (action->isSeparator() ? QString("-") : action->text());
      menu->close();
    }
  });
  closer.start();
  const QPoint blank = form.estimateModeBox->geometry().topRight() + QPoint(40, 2);
  QContextMenuEvent click(QContextMenuEvent::Mouse, blank, dialog.mapToGlobal(blank));
  QApplication::sendEvent(&dialog, &click);
  EXPECT_EQ(shown, QStringList({"&Close", "-", "&About Velkor..."}));
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(MainDialogTest, AboutFromTheMenuAndFromTheButtonIsTheSameBox) {
  ShowAndActivate();
  QStringList titles;
  ModalAnswerer answerer([&](QWidget *modal) {
    auto *about = qobject_cast<AboutDialog *>(modal);
    if (!about)
      return false;
    titles << about->windowTitle() + "|" + about->Form().versionLabel->text();
    about->accept();
    return true;
  });
  dialog.WindowMenu()->actions().last()->trigger();
  QTest::mouseClick(form.aboutButton, Qt::LeftButton);
  ASSERT_EQ(titles.size(), 2);
  EXPECT_EQ(titles[0], "About Velkor|Version 1.00");
  EXPECT_EQ(titles[0], titles[1]);
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(MainDialogTest, HelpOpensThePageBesideTheProgram) {
  UrlRecorder desktop({"file"});
  const QString before = QDir::currentPath();
  QDir::setCurrent(QDir::tempPath()); // the current directory plays no part
  QTest::mouseClick(form.helpButton, Qt::LeftButton);
  QDir::setCurrent(before);
  ASSERT_EQ(desktop.opened.size(), 1);
  const QString page = desktop.opened[0].toLocalFile();
  EXPECT_EQ(QFileInfo(page).fileName(), "Velkor.htm");
  EXPECT_EQ(QFileInfo(page).absolutePath(),
            QFileInfo(QCoreApplication::applicationDirPath()).absoluteFilePath());
  // The build puts the page there.
  EXPECT_TRUE(QFileInfo::exists(page)) << page.toStdString();
  // F1 opens the same page.
  ShowAndActivate();
  QTest::keyClick(form.estimateModeBox, Qt::Key_F1);
  ASSERT_EQ(desktop.opened.size(), 2);
  EXPECT_EQ(desktop.opened[1], desktop.opened[0]);
}

TEST_F(MainDialogTest, HelpWithNothingToOpenItNamesThePage) {
  // The offscreen platform has no program for any URL, as a server or a
  // desktop without xdg-utils has none.
  ShowAndActivate();
  ModalAnswerer answerer;
  QTest::mouseClick(form.helpButton, Qt::LeftButton);
  dialog.activateWindow(); // the box is gone; the keys go to the window again
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  QTest::keyClick(form.estimateModeBox, Qt::Key_F1);
  dialog.OpenHelpPage("/nonexistent/share/velkor/Velkor.htm");
  const QString cannotOpen = "No program on this desktop opens the help page. Open it in a web "
                             "browser:\n" +
                             dialog.HelpPagePath();
  EXPECT_EQ(answerer.messages,
            QStringList({cannotOpen, cannotOpen,
                         "The help page cannot be found:\n/nonexistent/share/velkor/Velkor.htm"}));
  EXPECT_EQ(answerer.captions, QStringList({"Velkor", "Velkor", "Velkor"}));
  EXPECT_TRUE(QFileInfo(dialog.HelpPagePath()).isAbsolute());
  EXPECT_TRUE(dialog.isVisible());
}

/// The desktop program started as a child process, with the environment
/// changed as `env` is told. `timeout` ends it should it open its window.
velkor::test::ProcessResult RunVelkor(std::vector<std::string> envArgs,
                                      const std::vector<std::string> &args) {
  std::vector<std::string> command = {"timeout", "30", "env"};
  command.insert(command.end(), envArgs.begin(), envArgs.end());
  command.push_back(VELKOR_BINARY_DIR "/bin/velkor");
  command.insert(command.end(), args.begin(), args.end());
  return velkor::test::RunProcess(command);
}

TEST(Program, AnswersWithoutAWindowWhereItCannotOpenOne) {
  const std::vector<std::string> noDisplay = {"-u", "DISPLAY",        "-u", "WAYLAND_DISPLAY",
                                              "-u", "QT_QPA_PLATFORM"};
  // Qt may note its own set-up first (XDG_RUNTIME_DIR, the plugin it tried).
  const std::string qtNotes = R"(([^\n]*\n)*)";
  const struct {
    std::vector<std::string> env;
    std::vector<std::string> args;
    int status;
    std::string out; // regular expressions over the whole output
    std::string err;
  } cases[] = {
      // Over SSH, without a display: one line that names the way out.
      {noDisplay, {}, 1, "", R"(velkor: needs a graphical session[^\n]*velkor-cli[^\n]*\n)"},
      {noDisplay, {"--help"}, 0, R"(Usage: velkor \[OPTION\]\.\.\.\n[\s\S]*velkor-cli[\s\S]*)", ""},
      {noDisplay, {"-h"}, 0, R"(Usage: velkor [\s\S]*)", ""},
      {noDisplay, {"--version"}, 0, R"(velkor \(Velkor\) [0-9]+\.[0-9]+\.[0-9]+\n)", ""},
      {noDisplay, {"-V"}, 0, R"(velkor \(Velkor\) [0-9.]+\n)", ""},
      // A display that is set but cannot be reached: Qt's notes name the
      // cause, then one line of the program's instead of an abort.
      {{"-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", "DISPLAY=:4711"},
       {},
       1,
       "",
       qtNotes + R"(velkor: the window cannot be opened: [^\n]*velkor-cli[^\n]*\n)"},
      // Arguments that are neither the program's nor Qt's.
      {{"QT_QPA_PLATFORM=offscreen"},
       {"--bogus"},
       2,
       "",
       qtNotes +
           R"(velkor: unrecognized argument '--bogus'\nTry 'velkor --help' for more information\.\n)"},
      {{"QT_QPA_PLATFORM=offscreen"},
       {"-style", "fusion", "/srv/docs"},
       2,
       "",
       qtNotes + R"(velkor: unrecognized argument '/srv/docs'\n[^\n]*\n)"},
  };
  for (const auto &c : cases) {
    std::string label;
    for (const std::string &part : c.env)
      label += part + " ";
    for (const std::string &arg : c.args)
      label += arg + " ";
    const velkor::test::ProcessResult result = RunVelkor(c.env, c.args);
    EXPECT_EQ(result.exitCode, c.status) << label << result.err;
    EXPECT_TRUE(std::regex_match(result.out, std::regex(c.out))) << label << result.out;
    EXPECT_TRUE(std::regex_match(result.err, std::regex(c.err))) << label << result.err;
  }
}

} // namespace
