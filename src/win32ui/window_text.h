//===- win32ui/window_text.h - UTF-8 texts in and out of the windows -------===//
///
/// \file
/// Inside the program every text is UTF-8 and every name the file system's
/// exact bytes (TTString); the windows take and give UTF-16. Names and paths
/// go to the screen through DisplayText, so whatever a window shows is only
/// ever shown: no file name is rebuilt from a window's text.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <string>
#include <string_view>

#include <windows.h>

/// `utf8` as UTF-16 for a window. A byte that is not UTF-8 shows as U+FFFD;
/// texts for display come from DisplayText and are always valid.
std::wstring WideText(std::string_view utf8);

/// `wide` as UTF-8. An unpaired surrogate (which an edit field accepts
/// from the keyboard) becomes U+FFFD.
std::string Utf8Text(std::wstring_view wide);

/// The bytes of a name or path as a window shows them (DisplayText).
std::wstring DisplayWide(std::string_view bytes);

/// The whole text of a window or control.
std::wstring WindowText(HWND window);

/// Sets the text of control `id` of `dialog` from UTF-8.
void SetControlText(HWND dialog, int id, std::string_view utf8);
