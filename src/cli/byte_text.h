//===- cli/byte_text.h - File-name bytes made safe for terminals and JSON -===//
///
/// \file
/// File names on Linux are bytes, usually but not always UTF-8, and may hold
/// any byte but '/' and NUL, newlines and escape sequences included. These
/// helpers decide how such bytes are written where a reader expects text.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velkor::cli {

/// True when the bytes are well-formed UTF-8 (no overlong forms, no
/// surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

/// The bytes as valid UTF-8: every byte that is not part of a well-formed
/// sequence becomes U+FFFD. Well-formed text is returned unchanged.
std::string ReplaceInvalidUtf8(std::string_view bytes);

/// Two lower-case hexadecimal digits per byte.
std::string HexBytes(std::string_view bytes);

/// How many columns the text takes on a terminal, counting one per UTF-8
/// code point (and one per stray byte).
std::size_t DisplayWidth(std::string_view text);

/// The text cut to at most `columns` display columns, keeping its end (the
/// file name is the telling part of a path) behind a leading "...".
std::string KeepTail(std::string_view text, std::size_t columns);

/// The text cut to at most `columns` display columns, keeping its start.
std::string KeepHead(std::string_view text, std::size_t columns);

} // namespace velkor::cli
