//===- win32ui/shell_open.h - Hand a page, address or mail link on ---------===//
///
/// \file
/// The help page and the About box's links are handed to the desktop's
/// "open" action, which starts whatever program the user has chosen for
/// them (a web browser, a mail program) and returns at once.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <string>

#include <windows.h>

/// Opens `target` (a file's full path or a URL) with the desktop's program
/// for it; `owner` owns any window Windows shows meanwhile. False when no
/// program could be started for it (none is registered, the file is
/// missing): the caller tells the user. Windows itself shows nothing then.
bool OpenWithDesktop(HWND owner, const std::wstring &target);
