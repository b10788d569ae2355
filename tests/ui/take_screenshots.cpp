//===- tests/ui/take_screenshots.cpp - Pictures of the three windows -------===//
///
/// \file
/// Shows each window as a user meets it and saves a picture of it into the
/// given folder: the main window as it opens, the main window set to estimate
/// one chosen folder first, the progress window in the middle of a
/// compressing run, and the About box. Run it on an X server (docs/ has the
/// script that uses Xvfb) so the pictures show the real platform style.
///
//===----------------------------------------------------------------------===//

#include "ui/about_dialog.h"
#include "ui/base_directory_browser.h"
#include "ui/main_dialog.h"
#include "ui/progress_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

bool Save(QWidget *window, const QDir &folder, const char *name) {
  window->show();
  (void)QTest::qWaitForWindowExposed(window);
  QTest::qWait(200);
  const QString path = folder.filePath(QString::fromLatin1(name));
  if (!window->grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

} // namespace

int main(int argc, char **argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  bool ok = true;

  // The main window as it opens: the defaults, which compress every file on
  // every non-removable drive.
  MainDialog main;
  // The drives are those of the machine that draws the pictures; only the
  // root is shown, so that no build or container mount ends up in docs/.
  for (int row = 1; row < main.Form().browserList->count(); ++row)
    main.Form().browserList->item(row)->setHidden(true);
  ok &= Save(&main, folder, "main-window.png");

  // The same window set to see the gain first on one folder: the drives
  // cleared, a folder of office documents open in the browser with two of
  // its folders selected, the masks in force, Estimate mode checked.
  QTemporaryDir demo(QDir::tempPath() + QStringLiteral("/velkor-demo-XXXXXX"));
  const QString office = demo.path() + QStringLiteral("/Office/");
  for (const char *name : {"Contracts", "Letters", "Reports", "Templates"})
    QDir().mkpath(office + QLatin1String(name));
  for (const char *name :
       {"budget 2025.xls", "minutes.doc", "offer.doc", "Price list.xls", "readme.txt"}) {
    QFile file(office + QLatin1String(name));
    ok &= file.open(QIODevice::WriteOnly);
  }
  Ui::MainDialog &form = main.Form();
  form.allDrivesBox->click();
  form.allFilesBox->click();
  form.estimateModeBox->click();
  main.Browser().ShowDirectory(TTString(office.toUtf8().constData()));
  form.browserList->clearSelection();
  for (const char *name : {"Letters", "Reports"})
    form.browserList->findItems(QLatin1String(name), Qt::MatchExactly).first()->setSelected(true);
  ok &= Save(&main, folder, "main-window-estimate.png");

  ProgressDialog progress(&main);
  progress.Create();
  progress.SetCaption("Compressing files");
  progress.SetDiskRange(2);
  progress.SetDiskPosition(1);
  progress.SetDiskText("/srv/office/");
  progress.SetPhase(RunPhase::compressing);
  progress.SetFileText("Reports/2025/q3-budget.xls");
  progress.SetFileRange(1200);
  progress.SetFilePosition(700);
  RunStatistics counters;
  counters.totalFiles = 742;
  counters.documentFiles = 655;
  counters.compressedFiles = 611;
  counters.bytesBefore = 316014080;
  counters.bytesAfter = 201457152;
  progress.SetCounters(counters);
  progress.Show();
  ok &= Save(&progress, folder, "progress-window.png");
  progress.Destroy();

  AboutDialog about(&main);
  ok &= Save(&about, folder, "about-box.png");
  return ok ? 0 : 1;
}
