//===- engine/windows/system_error_words.cpp - Words for a Win32 error ----===//

#include "engine/system_error_words.h"

#include "fs/windows/wide_name.h"

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>

using namespace velkor::windows;

std::string FileSystemErrorWords(std::uint32_t systemError) {
  wchar_t *text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, systemError, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
  std::wstring wide = length != 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
  LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' ' ||
                           wide.back() == L'.'))
    wide.pop_back();
  TTString words;
  if (wide.empty() || !WideToUtf8(wide.c_str(), words))
    return "system error " + std::to_string(systemError);
  return words.CStr();
}
