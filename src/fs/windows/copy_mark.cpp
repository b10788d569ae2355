//===- fs/windows/copy_mark.cpp - The named stream that marks our copies --===//

#include "fs/windows/copy_mark.h"

#include "fs/file_operations.h"

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>

std::wstring MarkStreamOf(const std::wstring &file) {
  std::wstring stream = file;
  stream += L':';
  for (const char *c = kCopyMarkStream; *c != '\0'; ++c)
    stream += static_cast<wchar_t>(*c);
  return stream;
}

unsigned long RemoveMark(const std::wstring &file) {
  if (DeleteFileW(MarkStreamOf(file).c_str()))
    return 0;
  const DWORD error = GetLastError();
  return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? 0 : error;
}
