//===- win32ui/dialog_layout.h - Labels that show their whole text ---------===//
///
/// \file
/// The dialogs are laid out in dialog units for the dialog font's metrics.
/// Where Windows gives the dialog a wider face (a substituted font, another
/// desktop's), a label's text could wrap onto a line it has no room for and
/// lose its end. FitLabels widens such a label to its text, as far as the
/// free space to its right allows; a label whose text fits keeps its
/// rectangle.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <windows.h>

/// Widens each left-aligned static text of `dialog` that its text does not
/// fit, up to the next control on its line or the dialog's right margin.
void FitLabels(HWND dialog);
