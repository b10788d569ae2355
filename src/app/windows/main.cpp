//===- app/windows/main.cpp - The Velkor desktop program on Windows -------===//
///
/// \file
/// Starts the window. The program reads no command line: every start shows
/// the same defaults.
///
//===----------------------------------------------------------------------===//

#include "win32ui/application.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return RunApplication(); }
