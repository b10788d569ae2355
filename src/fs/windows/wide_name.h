//===- fs/windows/wide_name.h - UTF-8 names for the wide Win32 calls ------===//
///
/// \file
/// Names travel through Velkor as UTF-8 bytes; the Win32 calls take UTF-16.
/// These conversions are strict: a name that is not valid UTF-8 (or, coming
/// back, not valid UTF-16) is refused rather than changed, because a name
/// altered on the way would lead to another file or to none.
///
/// WidePath also gives a long path the form the wide calls accept beyond
/// MAX_PATH: the full path (from GetFullPathNameW, which also turns '/' into
/// '\') behind the "\\?\" prefix, "\\?\UNC\server\share\..." for a network
/// path. Short paths are handed on as they were written, relative ones
/// included.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"

#include <string>
#include <string_view>

namespace velkor::windows {

/// The Windows error number WideName and WidePath report for a name that is
/// not valid UTF-8: ERROR_NO_UNICODE_TRANSLATION.
inline constexpr unsigned long kNoUnicodeTranslation = 1113;

/// UTF-8 to UTF-16. False for bytes that are not valid UTF-8, with the
/// thread's last error set to kNoUnicodeTranslation.
bool Utf8ToWide(std::string_view utf8, std::wstring &wide);

/// UTF-16 to UTF-8. False for an unpaired surrogate, with the last error set.
bool WideToUtf8(std::wstring_view wide, std::string &utf8);

/// WideToUtf8 into a TTString.
bool WideToUtf8(std::wstring_view wide, TTString &text);

/// Whether `path` already names a file in the system's own namespace
/// ("\\?\..." or "\\.\..."), which no conversion may touch.
bool IsDevicePath(std::wstring_view path);

/// The form of `path` (UTF-16) to hand to a wide call: unchanged when its
/// full form fits in MAX_PATH - 12 characters (the room CreateDirectoryW
/// keeps for an 8.3 name), else the full path with the "\\?\" prefix. False
/// when the full path cannot be computed; the last error says why.
/// With `always`, the full path gets the prefix at any length (for calls
/// with a shorter limit of their own).
bool LongPathForm(const std::wstring &path, std::wstring &form, bool always = false);

/// LongPathForm where a path whose full form cannot be computed is handed
/// on as it is, for the call that takes it to report the error.
std::wstring LongPathForm(const std::wstring &path);

/// Utf8ToWide followed by LongPathForm: what every wide file call is given
/// for a UTF-8 path.
bool WidePath(std::string_view utf8Path, std::wstring &wide);

/// The UTF-8 form of a path a wide call gave back, with a "\\?\" prefix this
/// module added taken off again ("\\?\C:\x" is "C:\x", "\\?\UNC\s\x" is
/// "\\s\x"), so the caller sees the path it would have written.
bool Utf8Path(std::wstring_view widePath, std::string &utf8);

/// WidePath for a file operation on `path`: throws TTFileWithNameException
/// with the path (badPath for a name that is not valid UTF-8).
std::wstring WidePathOf(const TTString &path);

/// The full path of `path` in the form the wide calls accept at any length
/// ("\\?\" added when it is long). Some calls (ReplaceFileW) need full
/// paths. Throws TTFileWithNameException with the path.
std::wstring FullWidePathOf(const TTString &path);

} // namespace velkor::windows
