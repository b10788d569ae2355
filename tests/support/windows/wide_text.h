//===- support/windows/wide_text.h - UTF-8 and UTF-16 in the tests ---------===//
///
/// \file
/// The tests keep their texts in UTF-8 and hand them to the wide Win32
/// calls. Lenient both ways, as window texts are: what cannot be converted
/// becomes U+FFFD rather than failing the helper.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <string>
#include <string_view>

#include <windows.h>

namespace velkor::test {

inline std::wstring Wide(std::string_view utf8) {
  if (utf8.empty())
    return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

inline std::string Utf8(std::wstring_view wide) {
  if (wide.empty())
    return {};
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

} // namespace velkor::test
