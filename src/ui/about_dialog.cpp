//===- ui/about_dialog.cpp - The About box ---------------------------------===//

#include "ui/about_dialog.h"

#include "core/version.h"
#include "ui/dialog_units.h"
#include "ui/icons.h"
#include "ui/messages.h"

#include <QDesktopServices>
#include <QLayout>
#include <QUrl>

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  ui.setupUi(this);
  ui.versionLabel->setText(QStringLiteral("Version ") + VersionText());
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  ui.iconLabel->setPixmap(ApplicationIcon().pixmap(32, 32));
  const DialogUnits units(this);
  ui.okButton->setMinimumWidth(units.X(41));
  ui.webPageButton->setMinimumWidth(units.X(106));
  ui.mailButton->setMinimumWidth(units.X(106));
  connect(ui.okButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(ui.webPageButton, &QPushButton::clicked, this, [this] { OpenLink(ui.webPageButton); });
  connect(ui.mailButton, &QPushButton::clicked, this, [this] { OpenLink(ui.mailButton); });
  ui.okButton->setFocus(Qt::OtherFocusReason);
}

QString AboutDialog::VersionText() {
  // "1.00": the major version, a point and the minor version in two digits.
  return QStringLiteral("%1.%2")
      .arg(kVelkorVersionMajor)
      .arg(kVelkorVersionMinor, 2, 10, QLatin1Char('0'));
}

void AboutDialog::OpenLink(const QPushButton *button) {
  if (!QDesktopServices::openUrl(QUrl(button->text(), QUrl::StrictMode)))
    ShowWarning(
        this,
        QStringLiteral("No program on this desktop opens this link:\n%1").arg(button->text()));
}
