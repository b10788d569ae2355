//===- ui/path_label.cpp - One line that always shows a path's last part --===//

#include "ui/path_label.h"

#include <QFontMetrics>

PathLabel::PathLabel(QWidget *parent) : QLabel(parent) {}

QString PathLabel::ElidePath(const QString &path, const QFontMetrics &metrics, int width) {
  if (metrics.horizontalAdvance(path) <= width)
    return path;
  // The last part starts after the last slash that does not end the path,
  // so "/srv/docs/Reports/" keeps "Reports/".
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'), path.size() - 2);
  const QString head = path.left(slash + 1);
  const QString last = path.mid(slash + 1);
  const QString ellipsis(QChar(0x2026));
  const int room = width - metrics.horizontalAdvance(last);
  if (!head.isEmpty() && room >= metrics.horizontalAdvance(ellipsis)) {
    // elidedText keeps both ends of the folders; at the least it is the
    // ellipsis alone.
    QString folders = metrics.elidedText(head, Qt::ElideMiddle, room);
    if (folders.isEmpty())
      folders = ellipsis;
    return folders + last;
  }
  return metrics.elidedText(last, Qt::ElideMiddle, width);
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
