//===- ui/path_label.h - One line that always shows a path's last part ----===//
///
/// \file
/// PathLabel is the progress window's line for a folder or a file. A path
/// longer than the line is cut in the middle, not at the end, and the cut
/// stays clear of the last part (the file name, or the last folder of a
/// folder's path), so the part that tells which file is in hand always shows.
/// The whole path is the line's tool tip while it is cut. The cut is made
/// again whenever the line's width changes.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <QLabel>
#include <QString>

class PathLabel : public QLabel {
  Q_OBJECT

public:
  explicit PathLabel(QWidget *parent = nullptr);

  /// Shows `path` (display text), cut to the line's width.
  void SetPath(const QString &path);

protected:
  void resizeEvent(QResizeEvent *event) override;
  void showEvent(QShowEvent *event) override;

private:
  /// `path` cut to `width` pixels in `metrics` by the rule both desktop
  /// front ends share (desktop/path_elision.h).
  static QString ElidePath(const QString &path, const QFontMetrics &metrics, int width);
  void Elide();
  void ElideAgain();

  QString path;  ///< as given, before any cut
  QString shown; ///< what SetPath last put on the line
};
