//===- tests/ui/progress_dialog_test.cpp - The run's progress window -------===//

#include "ui/progress_dialog.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLayout>
#include <QTest>

namespace {

class ProgressDialogTest : public testing::Test {
protected:
  QWidget mainWindow;
  ProgressDialog progress{&mainWindow};
  const Ui::ProgressDialog &form = progress.Form();
};

TEST_F(ProgressDialogTest, CreatedHiddenWithTheTemplateTexts) {
  ASSERT_TRUE(progress.Create());
  EXPECT_FALSE(progress.isVisible());
  EXPECT_FALSE(progress.StopRequested());
  EXPECT_EQ(progress.windowTitle(), "Compressing");
  EXPECT_EQ(form.diskText->text(), "Disk");
  EXPECT_EQ(form.fileText->text(), "File");
  EXPECT_EQ(form.statusText->text(), "Status");
  for (QLabel *value :
       {form.totalFilesText, form.documentFilesText, form.compressedFilesText, form.bytesBeforeText,
        form.bytesAfterText, form.bytesReducedText, form.ratioText})
    EXPECT_EQ(value->text(), "0") << value->objectName().toStdString();
  EXPECT_EQ(form.diskBar->value(), 0);
  EXPECT_EQ(form.fileBar->value(), 0);
  EXPECT_EQ(form.stopButton->text(), "&Stop");
  EXPECT_TRUE(form.stopButton->isDefault());
  // The labels read top to bottom: disk, its bar, status, file, its bar.
  progress.layout()->activate();
  EXPECT_LT(form.diskText->y(), form.diskBar->y());
  EXPECT_LT(form.diskBar->y(), form.statusText->y());
  EXPECT_LT(form.statusText->y(), form.fileText->y());
  EXPECT_LT(form.fileText->y(), form.fileBar->y());
}

TEST_F(ProgressDialogTest, WritesReachTheirControls) {
  ASSERT_TRUE(progress.Create());
  progress.SetCaption("Estimating compression ratio");
  progress.SetDiskText("/srv/docs/");
  progress.SetFileText("Reports/q1.doc");
  progress.SetPhase(RunPhase::compressing);
  RunStatistics statistics;
  statistics.totalFiles = 12;
  statistics.documentFiles = 7;
  statistics.compressedFiles = 5;
  statistics.bytesBefore = 400000;
  statistics.bytesAfter = 310000;
  progress.SetCounters(statistics);
  EXPECT_EQ(progress.windowTitle(), "Estimating compression ratio");
  EXPECT_EQ(form.diskText->text(), "/srv/docs/");
  EXPECT_EQ(form.fileText->text(), "Reports/q1.doc");
  EXPECT_EQ(form.statusText->text(), "Compressing");
  EXPECT_EQ(form.totalFilesText->text(), "12");
  EXPECT_EQ(form.documentFilesText->text(), "7");
  EXPECT_EQ(form.compressedFilesText->text(), "5");
  EXPECT_EQ(form.bytesBeforeText->text(), "400000");
  EXPECT_EQ(form.bytesAfterText->text(), "310000");
  EXPECT_EQ(form.bytesReducedText->text(), "90000");
  EXPECT_EQ(form.ratioText->text(), " 77.5%");
  // A name that is not UTF-8 is shown readably, and control characters as
  // the terminal shows them, so no name breaks its line.
  progress.SetFileText("caf\xE9.doc");
  EXPECT_EQ(form.fileText->text(), "caf\\xE9.doc");
  progress.SetFileText("Reports/two\nlines\t.doc");
  EXPECT_EQ(form.fileText->text(), "Reports/two\\nlines\\t.doc");
  progress.SetDiskText("/srv/\x1b[2Jdocs/");
  EXPECT_EQ(form.diskText->text(), "/srv/\\x1b[2Jdocs/");
}

TEST_F(ProgressDialogTest, LongPathsDoNotWidenTheWindow) {
  ASSERT_TRUE(progress.Create());
  progress.Show();
  const int width = progress.width();
  progress.SetFileText(std::string(2000, 'x').c_str());
  progress.SetDiskText(std::string(2000, 'y').c_str());
  QApplication::processEvents();
  EXPECT_EQ(progress.width(), width);
}

TEST_F(ProgressDialogTest, LongPathsAreCutInTheMiddleKeepingTheFileName) {
  const std::string deep = "/srv/archive/" + std::string(300, 'd') + "/Reports/";
  const struct {
    std::string path;
    std::string head; // what the line starts with
    std::string tail; // what it ends with
  } cases[] = {
      {deep + "q3-budget.xls", "/srv/", "/Reports/q3-budget.xls"},
      {"Reports/2025/" + std::string(300, 'n') + ".xls", "nnn", ".xls"}, // the name alone too long
      {std::string(300, 'n') + ".doc", "nnn", ".doc"},
      {deep, "/srv/", "/Reports/"}, // a folder keeps its last folder
  };
  ASSERT_TRUE(progress.Create());
  for (bool shownFirst : {true, false}) {
    for (const auto &c : cases) {
      // Written before the window is shown (and laid out) or after.
      if (shownFirst)
        progress.Show();
      progress.SetFileText(c.path.c_str());
      progress.SetDiskText(c.path.c_str());
      progress.Show();
      QApplication::processEvents();
      for (const QLabel *line : {static_cast<const QLabel *>(form.fileText),
                                 static_cast<const QLabel *>(form.diskText)}) {
        const QString shown = line->text();
        EXPECT_TRUE(shown.startsWith(QString::fromStdString(c.head))) << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(QString::fromStdString(c.tail))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
        // The line is used to its width, once laid out.
        const int used = line->fontMetrics().horizontalAdvance(shown);
        EXPECT_LE(used, line->contentsRect().width()) << shown.toStdString();
        EXPECT_GT(used, line->contentsRect().width() * 3 / 4) << shown.toStdString();
        EXPECT_EQ(line->toolTip(), QString::fromStdString(c.path));
      }
      progress.hide();
    }
  }
  // A path that fits is shown whole.
  progress.Show();
  progress.SetFileText("Reports/q1.doc");
  EXPECT_EQ(form.fileText->text(), "Reports/q1.doc");
  EXPECT_EQ(form.fileText->toolTip(), "");
}

TEST_F(ProgressDialogTest, BarPositionsOutsideTheRangeShowTheNearestEnd) {
  ASSERT_TRUE(progress.Create());
  progress.SetFileRange(10);
  progress.SetFilePosition(4);
  EXPECT_EQ(form.fileBar->value(), 4);
  EXPECT_EQ(form.fileBar->maximum(), 10);
  progress.SetFilePosition(25);
  EXPECT_EQ(form.fileBar->value(), 10);
  progress.SetFilePosition(-3);
  EXPECT_EQ(form.fileBar->value(), 0);
  progress.SetDiskRange(3);
  progress.SetDiskPosition(2);
  EXPECT_EQ(form.diskBar->value(), 2);
  EXPECT_EQ(form.diskBar->maximum(), 3);
}

TEST_F(ProgressDialogTest, AnEmptyRangeIsNeverABusyBar) {
  ASSERT_TRUE(progress.Create());
  // An entry without candidates: range 0..0, then its end position 0.
  progress.SetFileRange(0);
  EXPECT_GT(form.fileBar->maximum(), form.fileBar->minimum());
  EXPECT_EQ(form.fileBar->value(), form.fileBar->minimum());
  progress.SetFilePosition(0);
  EXPECT_EQ(form.fileBar->value(), form.fileBar->maximum());
}

TEST_F(ProgressDialogTest, StopEscapeAndCloseHideTheWindowAndSetTheFlag) {
  for (int way = 0; way < 4; ++way) {
    ASSERT_TRUE(progress.Create());
    progress.Show();
    ASSERT_TRUE(progress.isVisible());
    ASSERT_FALSE(progress.StopRequested());
    switch (way) {
    case 0:
      QTest::mouseClick(form.stopButton, Qt::LeftButton);
      break;
    case 1:
      QTest::keyClick(&progress, Qt::Key_Escape);
      break;
    case 2:
      progress.close();
      break;
    case 3:
      QTest::keyClick(form.stopButton, Qt::Key_Return);
      break; // Stop has the focus
    }
    EXPECT_TRUE(progress.StopRequested()) << "way " << way;
    EXPECT_FALSE(progress.isVisible()) << "way " << way;
    progress.Destroy();
  }
}

TEST_F(ProgressDialogTest, ANewWindowStartsFromTheTemplateAgain) {
  ASSERT_TRUE(progress.Create());
  progress.SetPhase(RunPhase::scanning);
  progress.SetCounters(RunStatistics());
  progress.SetCaption("Compressing files");
  progress.reject();
  progress.Destroy();
  ASSERT_TRUE(progress.Create());
  EXPECT_FALSE(progress.StopRequested());
  EXPECT_EQ(form.statusText->text(), "Status");
  EXPECT_EQ(form.ratioText->text(), "0");
  EXPECT_EQ(progress.windowTitle(), "Compressing");
}

TEST_F(ProgressDialogTest, EnablesAndDisablesTheMainWindowButNotItself) {
  mainWindow.show();
  ASSERT_TRUE(progress.Create());
  progress.EnableMainWindow(false);
  progress.Show();
  EXPECT_FALSE(mainWindow.isEnabled());
  EXPECT_TRUE(progress.isEnabled());
  EXPECT_TRUE(form.stopButton->isEnabled());
  progress.EnableMainWindow(true);
  EXPECT_TRUE(mainWindow.isEnabled());
}

TEST_F(ProgressDialogTest, PumpMessagesServesTheStopButton) {
  ASSERT_TRUE(progress.Create());
  progress.Show();
  // A click queued while the run works is handled at the next pump.
  QMetaObject::invokeMethod(form.stopButton, "click", Qt::QueuedConnection);
  EXPECT_FALSE(progress.StopRequested());
  progress.PumpMessages();
  EXPECT_TRUE(progress.StopRequested());
}

TEST_F(ProgressDialogTest, MessagesCarryTheProgramsCaptionAndAnOkButton) {
  ModalAnswerer answerer;
  progress.ShowMessage("No items were selected"); // before the window exists
  ASSERT_TRUE(progress.Create());
  progress.Show();
  progress.ShowMessage("Process is complete");
  progress.reject(); // hidden after Stop, main window disabled
  mainWindow.setEnabled(false);
  progress.ShowMessage("Process was stopped");
  EXPECT_EQ(answerer.messages,
            QStringList({"No items were selected", "Process is complete", "Process was stopped"}));
  EXPECT_EQ(answerer.captions, QStringList({"Velkor", "Velkor", "Velkor"}));
}

} // namespace
