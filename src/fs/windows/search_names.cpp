//===- fs/windows/search_names.cpp - Names for the wide Win32 calls -------===//

#include "fs/windows/search_names.h"

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>

bool WideFromUtf8(const char *text, std::wstring &wide) {
  wide.clear();
  if (*text == '\0')
    return true;
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (size <= 0)
    return false;
  wide.resize(static_cast<std::size_t>(size));
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide.data(), size) != size)
    return false;
  wide.resize(static_cast<std::size_t>(size) - 1); // the terminator
  return true;
}

bool Utf8FromWide(const wchar_t *wide, TTString &text) {
  if (*wide == L'\0') {
    text = "";
    return true;
  }
  const int size =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0)
    return false;
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, bytes.data(), size, nullptr,
                          nullptr) != size)
    return false;
  text = bytes.c_str();
  return true;
}

std::wstring LongPathForm(const std::wstring &path) {
  // The plain form holds MAX_PATH characters with the terminator; a folder
  // must leave room for an 8.3 name (MAX_PATH - 12).
  if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\?\\", 0) == 0)
    return path;
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0)
    return path;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size)
    return path;
  full.resize(length);
  for (wchar_t &c : full) {
    if (c == L'/')
      c = L'\\';
  }
  if (full.rfind(L"\\\\", 0) == 0)
    return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}
