//===- cli/windows/command_support.cpp - System error texts from Win32 ----===//

#include "cli/command_support.h"
#include "fs/windows/wide_name.h"

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>

namespace velkor::cli {

std::string SystemErrorText(unsigned long error) {
  wchar_t *buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
  std::wstring wide(buffer ? buffer : L"", length);
  LocalFree(buffer);
  // The system's texts end in a full stop and a line break.
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' ' ||
                           wide.back() == L'.')) {
    wide.pop_back();
  }
  std::string text;
  if (wide.empty() || !velkor::windows::WideToUtf8(wide, text))
    return "system error " + std::to_string(error);
  return text;
}

unsigned long LastSystemError() { return GetLastError(); }

} // namespace velkor::cli
