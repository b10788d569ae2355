//===- engine/windows/wide_path.cpp - Names in the form the W calls take --===//

#include "engine/windows/wide_path.h"

// After the project's headers: <windows.h> defines macros they may name.
#include <windows.h>

bool WidePath(const std::string &path, std::wstring &wide) {
  wide.clear();
  if (!path.empty()) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(),
                                           static_cast<int>(path.size()), nullptr, 0);
    if (length <= 0)
      return false;
    wide.resize(static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()),
                        wide.data(), length);
  }
  for (wchar_t &c : wide)
    if (c == L'/')
      c = L'\\';
  if (wide.size() <= MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0)
    return true;
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(needed, L'\0');
  const DWORD got = needed == 0 ? 0 : GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (got == 0 || got >= needed)
    return true; // the system's own refusal of the plain form will say why
  full.resize(got);
  wide = full.rfind(L"\\\\", 0) == 0 ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
  return true;
}
