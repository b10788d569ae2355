//===- win32ui/application.h - Program start-up ----------------------------===//
///
/// \file
/// RunApplication starts the Windows desktop program: it shows the main
/// window modally and ends the program as soon as that window closes.
/// Nothing is read from the command line, the environment or the registry,
/// and nothing is saved.
///
//===----------------------------------------------------------------------===//
#pragma once

/// Shows the main window until it closes; the answer is the exit status:
/// the code of a request to quit that closed it, else 0; 1 when the window
/// could not be opened, which a message says.
int RunApplication();
