//===- fs/windows/wide_name.cpp - UTF-8 names for the wide Win32 calls ----===//

#include "fs/windows/wide_name.h"

#include "fs/path_error.h"

// After the project's headers: <windows.h> defines macros that fs headers
// declare as constants.
#include <windows.h>

#include <climits>

namespace velkor::windows {

namespace {

/// The longest full path the ordinary (non-prefixed) form reaches safely.
constexpr std::size_t kShortPathLimit = MAX_PATH - 12;

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";

bool StartsWith(std::wstring_view text, std::wstring_view head) {
  return text.size() >= head.size() && text.substr(0, head.size()) == head;
}

/// GetFullPathNameW into a string, growing the buffer as the call asks.
bool FullPathName(const std::wstring &path, std::wstring &full) {
  DWORD size = MAX_PATH;
  for (;;) {
    full.resize(size);
    const DWORD n = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (n == 0)
      return false;
    if (n < size) {
      full.resize(n);
      return true;
    }
    size = n; // too small: n is the size needed, the terminating NUL included
  }
}

} // namespace

bool Utf8ToWide(std::string_view utf8, std::wstring &wide) {
  wide.clear();
  if (utf8.empty())
    return true;
  if (utf8.size() > static_cast<std::size_t>(INT_MAX)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  const int length = static_cast<int>(utf8.size());
  const int needed =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
  if (needed <= 0)
    return false;
  wide.resize(static_cast<std::size_t>(needed));
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, wide.data(),
                             needed) == needed;
}

bool WideToUtf8(std::wstring_view wide, std::string &utf8) {
  utf8.clear();
  if (wide.empty())
    return true;
  if (wide.size() > static_cast<std::size_t>(INT_MAX)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  const int length = static_cast<int>(wide.size());
  const int needed = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), length,
                                         nullptr, 0, nullptr, nullptr);
  if (needed <= 0)
    return false;
  utf8.resize(static_cast<std::size_t>(needed));
  return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), length, utf8.data(),
                             needed, nullptr, nullptr) == needed;
}

bool IsDevicePath(std::wstring_view path) {
  return StartsWith(path, kLongPrefix) || StartsWith(path, L"\\\\.\\");
}

bool WideToUtf8(std::wstring_view wide, TTString &text) {
  std::string utf8;
  if (!WideToUtf8(wide, utf8))
    return false;
  text = utf8.c_str();
  return true;
}

std::wstring LongPathForm(const std::wstring &path) {
  std::wstring form;
  return LongPathForm(path, form) ? form : path;
}

bool LongPathForm(const std::wstring &path, std::wstring &form, bool always) {
  if (path.empty() || IsDevicePath(path)) {
    form = path;
    return true;
  }
  std::wstring full;
  if (!FullPathName(path, full))
    return false;
  if (full.size() <= kShortPathLimit && !always) {
    form = path;
    return true;
  }
  if (StartsWith(full, L"\\\\")) {
    form.assign(kLongUncPrefix);
    form.append(full, 2);
  } else {
    form.assign(kLongPrefix);
    form.append(full);
  }
  return true;
}

bool WidePath(std::string_view utf8Path, std::wstring &wide) {
  std::wstring plain;
  if (!Utf8ToWide(utf8Path, plain))
    return false;
  return LongPathForm(plain, wide);
}

bool Utf8Path(std::wstring_view widePath, std::string &utf8) {
  if (StartsWith(widePath, kLongUncPrefix)) {
    std::wstring unc = L"\\\\";
    unc.append(widePath.substr(kLongUncPrefix.size()));
    return WideToUtf8(unc, utf8);
  }
  if (StartsWith(widePath, kLongPrefix))
    return WideToUtf8(widePath.substr(kLongPrefix.size()), utf8);
  return WideToUtf8(widePath, utf8);
}

std::wstring WidePathOf(const TTString &path) {
  std::wstring wide;
  if (!WidePath(std::string_view(path.CStr(), static_cast<std::size_t>(path.Length())), wide))
    ThrowPathErrorWithName(path, static_cast<int>(GetLastError()));
  return wide;
}

std::wstring FullWidePathOf(const TTString &path) {
  std::wstring plain, full, form;
  if (!Utf8ToWide(std::string_view(path.CStr(), static_cast<std::size_t>(path.Length())), plain) ||
      !FullPathName(plain, full) || !LongPathForm(full, form))
    ThrowPathErrorWithName(path, static_cast<int>(GetLastError()));
  return form;
}

} // namespace velkor::windows
