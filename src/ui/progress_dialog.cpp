//===- ui/progress_dialog.cpp - The run's progress window ------------------===//

#include "ui/progress_dialog.h"

#include "engine/run_messages.h"
#include "ui/dialog_units.h"
#include "ui/display_name.h"
#include "ui/messages.h"

#include <QCoreApplication>
#include <QLayout>
#include <QWindow>

#include <algorithm>
#include <utility>

ProgressDialog::ProgressDialog(QWidget *mainWindow)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      mainWindow(mainWindow) {
  ui.setupUi(this);
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  ApplyFontMetrics();
  layout()->activate(); // the path lines know their width before the first show
  connect(ui.stopButton, &QPushButton::clicked, this, &ProgressDialog::reject);
  ResetToTemplate();
}

ProgressDialog::~ProgressDialog() = default;

void ProgressDialog::ApplyFontMetrics() {
  const DialogUnits units(this);
  ui.diskBar->setMinimumWidth(units.X(315));
  ui.fileBar->setMinimumWidth(units.X(315));
  for (QLabel *value : {ui.totalFilesText, ui.documentFilesText, ui.compressedFilesText})
    value->setMinimumWidth(units.X(66));
  for (QLabel *value : {ui.bytesBeforeText, ui.bytesAfterText, ui.bytesReducedText, ui.ratioText})
    value->setMinimumWidth(units.X(55));
  ui.stopButton->setMinimumWidth(units.X(50));
}

void ProgressDialog::ResetToTemplate() {
  setWindowTitle(QStringLiteral("Compressing"));
  ui.diskText->setText(QStringLiteral("Disk"));
  ui.fileText->setText(QStringLiteral("File"));
  ui.statusText->setText(QStringLiteral("Status"));
  for (QLabel *value : {ui.totalFilesText, ui.documentFilesText, ui.compressedFilesText,
                        ui.bytesBeforeText, ui.bytesAfterText, ui.bytesReducedText, ui.ratioText})
    value->setText(QStringLiteral("0"));
  SetBarRange(ui.diskBar, diskRange, 100);
  SetBarRange(ui.fileBar, fileRange, 100);
  stopRequested = false;
}

bool ProgressDialog::Create() {
  ResetToTemplate();
  // Owned by the main window as the desktop sees it, without being its child.
  if (mainWindow) {
    winId();
    if (QWindow *own = windowHandle(); own && mainWindow->window()->windowHandle())
      own->setTransientParent(mainWindow->window()->windowHandle());
  }
  created = true;
  return true;
}

void ProgressDialog::Destroy() {
  created = false;
  hide();
}

void ProgressDialog::Show() {
  if (!testAttribute(Qt::WA_Moved))
    adjustPosition(mainWindow);
  showNormal();
  raise();
  activateWindow();
  ui.stopButton->setFocus(Qt::OtherFocusReason);
}

void ProgressDialog::reject() {
  stopRequested = true;
  QDialog::reject(); // hides the window; a modeless dialog is not destroyed
}

void ProgressDialog::EndSession() {
  sessionEnded = true;
  reject();
}

void ProgressDialog::SetCaption(const char *text) { setWindowTitle(DisplayName(text)); }

void ProgressDialog::SetBarRange(QProgressBar *bar, BarRange &range, int count) {
  range.count = std::max(count, 0);
  bar->setRange(0, std::max(range.count, 1));
  bar->setValue(0);
}

void ProgressDialog::SetBarPosition(QProgressBar *bar, const BarRange &range, int position) {
  if (range.count == 0) {
    bar->setValue(position >= 0 ? 1 : 0);
    return;
  }
  bar->setValue(std::clamp(position, 0, range.count));
}

void ProgressDialog::SetDiskRange(int count) { SetBarRange(ui.diskBar, diskRange, count); }
void ProgressDialog::SetDiskPosition(int position) {
  SetBarPosition(ui.diskBar, diskRange, position);
}
void ProgressDialog::SetFileRange(int count) { SetBarRange(ui.fileBar, fileRange, count); }
void ProgressDialog::SetFilePosition(int position) {
  SetBarPosition(ui.fileBar, fileRange, position);
}

void ProgressDialog::SetDiskText(const char *text) { ui.diskText->SetPath(DisplayName(text)); }
void ProgressDialog::SetFileText(const char *text) { ui.fileText->SetPath(DisplayName(text)); }
void ProgressDialog::SetPhase(RunPhase phase) {
  ui.statusText->setText(DisplayName(PhaseText(phase)));
}

void ProgressDialog::SetCounters(const RunStatistics &statistics) {
  const std::pair<CounterField, QLabel *> fields[] = {
      {CounterField::totalFiles, ui.totalFilesText},
      {CounterField::documentFiles, ui.documentFilesText},
      {CounterField::compressedFiles, ui.compressedFilesText},
      {CounterField::bytesBefore, ui.bytesBeforeText},
      {CounterField::bytesAfter, ui.bytesAfterText},
      {CounterField::bytesReduced, ui.bytesReducedText},
      {CounterField::ratio, ui.ratioText},
  };
  for (const auto &[field, value] : fields)
    value->setText(DisplayName(FormatCounter(field, statistics).CStr()));
}

void ProgressDialog::PumpMessages() {
  // Painting and the Stop button are served here. A quit request met now
  // ends the main window's own event loop only after the run has returned.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void ProgressDialog::ShowMessage(const char *text) {
  if (sessionEnded)
    return;
  // Owned by the active window: this window while it is on screen, else the
  // main window when it is enabled. A message shown while the main window is
  // disabled and this one hidden (after Stop) gets no owner, since a box
  // owned by a disabled window could not be answered.
  QWidget *owner = nullptr;
  if (created && isVisible())
    owner = this;
  else if (mainWindow && mainWindow->isEnabled())
    owner = mainWindow;
  ShowWarning(owner, DisplayName(text));
}

void ProgressDialog::EnableMainWindow(bool enable) {
  if (mainWindow)
    mainWindow->setEnabled(enable);
}
