//===- ui/main_dialog.cpp - The program's main window ----------------------===//

#include "ui/main_dialog.h"

#include "ui/about_dialog.h"
#include "ui/base_directory_browser.h"
#include "ui/dialog_units.h"
#include "ui/display_name.h"
#include "ui/icons.h"
#include "ui/messages.h"
#include "ui/progress_dialog.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QShortcut>
#include <QStyle>
#include <QUrl>

namespace {

/// The masks a fresh start offers: Word and Excel documents.
const QString kDefaultWildcards = QStringLiteral("*.doc *.xls");
/// The help page, looked for beside the program (a build tree) and in the
/// program's data folder (an installation: ../share/velkor from bin/).
const QString kHelpPageName = QStringLiteral("Velkor.htm");
const QString kDataFolderFromProgram = QStringLiteral(VELKOR_DATA_FROM_BIN "/");

} // namespace

MainDialog::MainDialog(QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      appIcon(ApplicationIcon()) {
  ui.setupUi(this);

  const DialogUnits units(this);
  ui.browserList->setMinimumSize(units.X(285), units.Y(69));
  for (QPushButton *button : {ui.startButton, ui.helpButton, ui.aboutButton, ui.closeButton})
    button->setMinimumWidth(units.X(50));
  ui.wildcardsEdit->setMinimumWidth(units.X(171));
  FitBrowserIntoFrame();

  connect(ui.allDrivesBox, &QCheckBox::clicked, this, &MainDialog::OnAllDrivesClicked);
  connect(ui.allFilesBox, &QCheckBox::clicked, this, &MainDialog::OnAllFilesClicked);
  connect(ui.startButton, &QPushButton::clicked, this, &MainDialog::OnStart);
  connect(ui.aboutButton, &QPushButton::clicked, this, &MainDialog::OnAbout);
  connect(ui.helpButton, &QPushButton::clicked, this, &MainDialog::OnHelp);
  connect(ui.closeButton, &QPushButton::clicked, this, &MainDialog::reject);

  // The window's own menu; Alt+Space opens it from the keyboard, as a title
  // bar menu would be.
  BuildWindowMenu();
  auto *menuKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
  connect(menuKey, &QShortcut::activated, this,
          [this] { windowMenu->exec(mapToGlobal(QPoint(0, 0))); });
  auto *helpKey = new QShortcut(QKeySequence::HelpContents, this);
  connect(helpKey, &QShortcut::activated, this, &MainDialog::OnHelp);
  // F5 lists the browser's directory again, as it is on disk now.
  auto *refreshKey = new QShortcut(QKeySequence(Qt::Key_F5), this);
  connect(refreshKey, &QShortcut::activated, this,
          [this] { RunCommand(this, [this] { browser->Refresh(); }); });

  setWindowIcon(appIcon);

  ui.allDrivesBox->setChecked(true);
  OnAllDrivesClicked();
  ui.allFilesBox->setChecked(true);
  ui.recursiveBox->setChecked(true);
  ui.wildcardsEdit->setText(kDefaultWildcards);
  OnAllFilesClicked();
  ui.estimateModeBox->setChecked(false);

  // The browser starts in the drive list, with an empty path label.
  browser = std::make_unique<BaseDirectoryBrowser>(ui.browserList, ui.currentDirectoryLabel, this);
  connect(ui.browserList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
    const int row = ui.browserList->row(item);
    RunCommand(this, [this, row] { browser->EnterItem(row); });
  });
  ui.browserList->installEventFilter(this);
  RunCommand(this, [this] { browser->ShowDirectory(TTString()); });

  programDirectory = QCoreApplication::applicationDirPath();
  if (!programDirectory.endsWith(QLatin1Char('/')))
    programDirectory += QLatin1Char('/');

  // The focus starts on the first control in tab order.
  ui.estimateModeBox->setFocus(Qt::OtherFocusReason);
}

MainDialog::~MainDialog() = default;

void MainDialog::FitBrowserIntoFrame() {
  // The frame's own margins (its title above, its border around) plus the
  // usual distance of a layout from its frame.
  const QMargins frame = ui.baseDirectoriesGroup->contentsMargins();
  const int left = style()->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr, this);
  const int top = style()->pixelMetric(QStyle::PM_LayoutTopMargin, nullptr, this);
  const int right = style()->pixelMetric(QStyle::PM_LayoutRightMargin, nullptr, this);
  const int bottom = style()->pixelMetric(QStyle::PM_LayoutBottomMargin, nullptr, this);
  ui.browserLayout->setContentsMargins(frame.left() + left, frame.top() + top,
                                       frame.right() + right, frame.bottom() + bottom);
}

void MainDialog::BuildWindowMenu() {
  windowMenu = new QMenu(this);
  QAction *close = windowMenu->addAction(QStringLiteral("&Close"));
  close->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
  connect(close, &QAction::triggered, this, &MainDialog::reject);
  windowMenu->addSeparator();
  QAction *about = windowMenu->addAction(QStringLiteral("&About Velkor..."));
  connect(about, &QAction::triggered, this, &MainDialog::OnAbout);
}

void MainDialog::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  ui.browserList->doItemsLayout();
}

void MainDialog::contextMenuEvent(QContextMenuEvent *event) {
  windowMenu->exec(event->globalPos());
}

void MainDialog::OnAllDrivesClicked() {
  const bool enable = !ui.allDrivesBox->isChecked();
  ui.baseDirectoriesGroup->setEnabled(enable);
  ui.browserList->setEnabled(enable);
}

void MainDialog::OnAllFilesClicked() {
  const bool enable = !ui.allFilesBox->isChecked();
  ui.wildcardsEdit->setEnabled(enable);
  ui.wildcardsLabel->setEnabled(enable);
}

void MainDialog::OnAbout() {
  AboutDialog about(this);
  about.exec();
}

QString MainDialog::HelpPagePath() const {
  // An empty program folder leaves the bare name, which is then found in
  // the current directory. When the page is in neither place, the path
  // beside the program is the one handed on.
  const QString beside = QFileInfo(programDirectory + kHelpPageName).absoluteFilePath();
  if (programDirectory.isEmpty() || QFileInfo::exists(beside))
    return beside;
  const QFileInfo installed(programDirectory + kDataFolderFromProgram + kHelpPageName);
  return installed.exists() ? QDir::cleanPath(installed.absoluteFilePath()) : beside;
}

void MainDialog::OnHelp() { OpenHelpPage(HelpPagePath()); }

void MainDialog::OpenHelpPage(const QString &path) {
  if (!QFileInfo::exists(path))
    ShowWarning(this, QStringLiteral("The help page cannot be found:\n%1").arg(path));
  else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
    ShowWarning(this, QStringLiteral("No program on this desktop opens the help page. Open it "
                                     "in a web browser:\n%1")
                          .arg(path));
}

void MainDialog::reject() {
  if (runInProgress)
    return;
  QDialog::reject();
}

void MainDialog::keyPressEvent(QKeyEvent *event) {
  if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
    QDialog::keyPressEvent(event);
    return;
  }
  // No button is the default: Enter presses the push button that has the
  // focus, and is otherwise the confirm command, which never closes the
  // window.
  if (auto *button = qobject_cast<QPushButton *>(focusWidget())) {
    if (button->isEnabled())
      button->click();
    return;
  }
  OnConfirm();
}

void MainDialog::OnConfirm() {
  const bool listHasFocus = focusWidget() == ui.browserList;
  RunCommand(this, [this, listHasFocus] { browser->Confirm(listHasFocus); });
}

bool MainDialog::eventFilter(QObject *watched, QEvent *event) {
  if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit && runInProgress) {
    quitPending = true;
    return true;
  }
  if (watched == ui.browserList && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent *>(event)->key() == Qt::Key_Backspace) {
    RunCommand(this, [this] { browser->GoUp(); });
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

RunOptions MainDialog::ReadOptions() const {
  RunOptions options;
  options.allFiles = ui.allFilesBox->checkState() == Qt::Checked;
  options.recursive = ui.recursiveBox->checkState() == Qt::Checked;
  options.allDrives = ui.allDrivesBox->checkState() == Qt::Checked;
  options.compress = ui.estimateModeBox->checkState() == Qt::Unchecked;
  options.wildcards = TTString(ui.wildcardsEdit->text().toUtf8().constData());
  return options;
}

void MainDialog::EndSession() {
  if (runInProgress) {
    sessionEnding = true;
    if (runProgress)
      runProgress->EndSession();
    return;
  }
  // Every event loop ends, a modal box's as well as the window's own.
  QCoreApplication::exit(0);
}

void MainDialog::OnStart() {
  if (runInProgress)
    return;
  runInProgress = true;
  quitPending = false;
  QCoreApplication::instance()->installEventFilter(this);
  RunCommand(this, [this] {
    ProgressDialog progress(this);
    runProgress = &progress;
    try {
      CompactionRun(ReadOptions(), *browser, progress);
    } catch (...) {
      runProgress = nullptr;
      throw;
    }
    runProgress = nullptr;
  });
  QCoreApplication::instance()->removeEventFilter(this);
  runInProgress = false;
  // The run enables the window again on every ending; this holds even if a
  // failure were to escape before its clean-up.
  setEnabled(true);
  if (sessionEnding) {
    sessionEnding = false;
    EndSession();
    return;
  }
  // A quit request that came while the run worked (the desktop session
  // ending, say) takes effect now.
  if (quitPending)
    QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
}
