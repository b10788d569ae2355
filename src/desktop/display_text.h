//===- desktop/display_text.h - File-system bytes as readable text --------===//
///
/// \file
/// Names and paths are kept as the bytes the file system uses. The windows
/// of both desktop front ends show them as UTF-8 text with the escapes
/// velkor-cli writes (EscapeControlBytes): a newline, a tab, an ESC or
/// another control character shows as \n, \t, \x1b, so no name can break a
/// line. A byte that does not belong to a valid UTF-8 sequence (a name
/// written by an old system in another code page) is shown as a visible
/// escape such as \xE9, so that every name stays readable and two different
/// names never look alike. The bytes themselves are never rebuilt from the
/// displayed text.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <string>
#include <string_view>

/// The bytes of a name or path as display text: always valid UTF-8.
std::string DisplayText(std::string_view bytes);
