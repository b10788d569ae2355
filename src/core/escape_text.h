//===- core/escape_text.h - File-name bytes as one safe line of text ------===//
///
/// \file
/// File names on Linux may hold any byte but '/' and NUL: newlines, escape
/// sequences, C1 controls. Every place that shows a name (a terminal line, a
/// report, a window) writes it through this one function, so a name prints
/// the same everywhere and can never split a line or steer a terminal.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <string>
#include <string_view>

/// The bytes for one line of text: C0 control bytes, DEL and the C1 controls
/// written as UTF-8 (C2 80..C2 9F) become C-style escapes (\n, \t, \r,
/// \xHH) and a backslash is doubled, so the original bytes can be told back
/// (on Windows, where the backslash separates the path's parts and no name
/// holds one, it stays single).
/// Other bytes, valid UTF-8 or not, pass unchanged.
std::string EscapeControlBytes(std::string_view bytes);
