//===- ui/path_label.cpp - One line that always shows a path's last part --===//

#include "ui/path_label.h"

#include "desktop/path_elision.h"

#include <QFontMetrics>

PathLabel::PathLabel(QWidget *parent) : QLabel(parent) {}

QString PathLabel::ElidePath(const QString &path, const QFontMetrics &metrics, int width) {
  const auto measure = [&metrics](std::u16string_view text) {
    return metrics.horizontalAdvance(
        QString(reinterpret_cast<const QChar *>(text.data()), static_cast<qsizetype>(text.size())));
  };
  const std::u16string cut =
      ::ElidePath(std::u16string_view(reinterpret_cast<const char16_t *>(path.utf16()),
                                      static_cast<size_t>(path.size())),
                  u'/', width, measure);
  return QString::fromStdU16String(cut);
}

void PathLabel::SetPath(const QString &text) {
  path = text;
  Elide();
}

void PathLabel::Elide() {
  const int width = contentsRect().width() - 2 * margin() - qMax(indent(), 0);
  shown = ElidePath(path, fontMetrics(), width);
  setText(shown);
  setToolTip(shown == path ? QString() : path);
}

void PathLabel::resizeEvent(QResizeEvent *event) {
  QLabel::resizeEvent(event);
  ElideAgain();
}

void PathLabel::showEvent(QShowEvent *event) {
  QLabel::showEvent(event);
  ElideAgain();
}

void PathLabel::ElideAgain() {
  // Only a line that still shows what SetPath put there is cut again; a
  // text set as plain text stays as it is.
  if (text() == shown && !path.isEmpty())
    Elide();
}
