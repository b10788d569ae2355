//===- tests/fs/windows/walk_support.h - Folders for the Win32 search tests ===//
///
/// \file
/// The folder of links that the test run makes on the Linux side before the
/// tests start: Wine shows a Linux symbolic link to a folder as a directory
/// with FILE_ATTRIBUTE_REPARSE_POINT, and one to a file as a plain file.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "support/windows/temp_folder.h"

#include <filesystem>
#include <string>

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>

namespace walk_test {

/// The shared temporary folder of the Win32 tests.
using velkor::test::TempFolder;

/// Writes `bytes` to a new file at `path`.
inline void WriteBytes(const std::filesystem::path &path, const std::string &bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    throw std::filesystem::filesystem_error("cannot create", path, std::error_code());
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

/// The folder of links the run made beside the test program's build
/// (tests/fs/windows/make_links.sh), in Windows form with its closing
/// backslash: Wine's drive Z: is the Linux root.
inline std::string LinksFolder() {
  std::string folder = "Z:" VELKOR_BINARY_DIR "/walk-links/";
  for (char &c : folder) {
    if (c == '/')
      c = '\\';
  }
  return folder;
}

} // namespace walk_test
