//===- tests/ui/about_dialog_test.cpp - The About box ----------------------===//

#include "ui/about_dialog.h"

#include "core/version.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QTest>

namespace {

TEST(AboutDialog, NamesTheProgramAndItsVersion) {
  AboutDialog about(nullptr);
  const Ui::AboutDialog &form = about.Form();
  EXPECT_EQ(about.windowTitle(), "About Velkor");
  EXPECT_EQ(form.productLabel->text(), "Velkor");
  EXPECT_EQ(form.versionLabel->text(), "Version 1.00");
  // Made from the build's one version (1.0.0), as velkor-cli's is.
  EXPECT_EQ(QString::fromLatin1(kVelkorVersion), "1.0.0");
  EXPECT_FALSE(form.descriptionLabel->text().isEmpty());
  EXPECT_FALSE(form.releaseLabel->text().isEmpty());
  EXPECT_FALSE(form.iconLabel->pixmap().isNull());
  EXPECT_EQ(form.okButton->text(), "OK");
  EXPECT_TRUE(form.okButton->isDefault());
  // The link buttons show exactly what they open.
  EXPECT_TRUE(QUrl(form.webPageButton->text(), QUrl::StrictMode).isValid());
  EXPECT_EQ(QUrl(form.webPageButton->text()).scheme(), "https");
  EXPECT_EQ(QUrl(form.mailButton->text()).scheme(), "mailto");
}

TEST(AboutDialog, LinkButtonsOpenTheirCaptionsAndLeaveTheBoxOpen) {
  UrlRecorder desktop({"https", "mailto"});
  AboutDialog about(nullptr);
  about.show();
  QTest::mouseClick(about.Form().webPageButton, Qt::LeftButton);
  QTest::mouseClick(about.Form().mailButton, Qt::LeftButton);
  ASSERT_EQ(desktop.opened.size(), 2);
  EXPECT_EQ(desktop.opened[0].toString(), about.Form().webPageButton->text());
  EXPECT_EQ(desktop.opened[1].toString(), about.Form().mailButton->text());
  EXPECT_TRUE(about.isVisible());
}

TEST(AboutDialog, LinksWithNothingToOpenThemAreNamedInAMessage) {
  // The offscreen platform has no program for any URL.
  AboutDialog about(nullptr);
  about.show();
  ModalAnswerer answerer;
  QTest::mouseClick(about.Form().webPageButton, Qt::LeftButton);
  QTest::mouseClick(about.Form().mailButton, Qt::LeftButton);
  EXPECT_EQ(answerer.messages, QStringList({"No program on this desktop opens this link:\n" +
                                                about.Form().webPageButton->text(),
                                            "No program on this desktop opens this link:\n" +
                                                about.Form().mailButton->text()}));
  EXPECT_TRUE(about.isVisible());
}

TEST(AboutDialog, OkEnterAndEscapeCloseIt) {
  for (int way = 0; way < 3; ++way) {
    AboutDialog about(nullptr);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    switch (way) {
    case 0:
      QTest::mouseClick(about.Form().okButton, Qt::LeftButton);
      break;
    case 1:
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
      break;
    case 2:
      QTest::keyClick(&about, Qt::Key_Escape);
      break;
    }
    EXPECT_FALSE(about.isVisible()) << "way " << way;
  }
}

} // namespace
