//===- ui/dialog_units.h - Sizes measured in the font's own units ---------===//
///
/// \file
/// The windows are laid out by Qt's layouts, but a few widths (the progress
/// bars, the counter columns, the browser list) are given in dialog units, a
/// quarter of the font's average character width across and an eighth of its
/// height down, so that the windows keep their proportions at any font size.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <QFontMetrics>
#include <QWidget>

/// Converts dialog units to pixels for one widget's font.
class DialogUnits {
public:
  explicit DialogUnits(const QWidget *widget) {
    const QFontMetrics metrics(widget->font());
    static const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    baseY = metrics.height();
  }

  int X(int units) const { return units * baseX / 4; }
  int Y(int units) const { return units * baseY / 8; }

private:
  int baseX;
  int baseY;
};
