//===- fs/windows/search_names.h - Names for the wide Win32 calls ---------===//
///
/// \file
/// Names are UTF-8 in the program and UTF-16 in the wide (W) Win32 calls
/// that the directory search and the drive list make. An absolute path too
/// long for the plain form is given in the "\\?\" form, which the wide calls
/// take up to 32767 characters.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"

#include <string>

/// The UTF-16 form of the UTF-8 `text`; false when `text` is not UTF-8.
bool WideFromUtf8(const char *text, std::wstring &wide);

/// The UTF-8 form of `wide`; false when it holds a lone surrogate, which no
/// UTF-8 name can stand for.
bool Utf8FromWide(const wchar_t *wide, TTString &text);

/// `path` as the wide calls take it: unchanged when it is short enough,
/// otherwise made absolute (slashes become backslashes) and given the "\\?\"
/// prefix ("\\?\UNC\" for a share).
std::wstring LongPathForm(const std::wstring &path);
