//===- ui/icons.h - The program's icons ------------------------------------===//
///
/// \file
/// The application icon and the three small icons of the browser list,
/// compiled into the program from resources/icons.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <QIcon>

/// The application icon, in every size it is drawn in.
QIcon ApplicationIcon();
/// A drive, a folder, a blank page: the browser's item kinds.
QIcon DriveIcon();
QIcon FolderIcon();
QIcon PageIcon();
