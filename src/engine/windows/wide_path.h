//===- engine/windows/wide_path.h - Names in the form the W calls take ----===//
#pragma once

#include <string>

/// The UTF-8 `path` in UTF-16 with `/` turned into `\`, in the `\\?\` form
/// when it is longer than MAX_PATH - 12 characters. Gives false, with
/// GetLastError set to ERROR_NO_UNICODE_TRANSLATION, for bytes that are not
/// UTF-8: no name is ever turned into another one.
bool WidePath(const std::string &path, std::wstring &wide);
