//===- tests/fs/windows/walk_support.h - Folders for the Win32 search tests ===//
///
/// \file
/// A temporary folder the test removes again, and the folder of links that
/// the test run makes on the Linux side before the tests start: Wine shows
/// a Linux symbolic link to a folder as a directory with
/// FILE_ATTRIBUTE_REPARSE_POINT, and one to a file as a plain file.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <filesystem>
#include <random>
#include <string>

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>

namespace walk_test {

/// A fresh folder below the system's temporary folder, removed with what it
/// holds when the test ends.
class TempFolder {
public:
  TempFolder() {
    // Wine gives a later process an earlier one's id again: a random part
    // keeps the folders of two runs apart.
    std::random_device random;
    do {
      path =
          std::filesystem::temp_directory_path() /
          ("velkor-walk-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(path));
  }
  TempFolder(const TempFolder &) = delete;
  TempFolder &operator=(const TempFolder &) = delete;
  ~TempFolder() { RemoveTree(L"\\\\?\\" + path.wstring()); }

  /// The folder as UTF-8 text ending in a backslash.
  std::string Text() const { return Utf8(path.wstring()) + "\\"; }
  std::filesystem::path operator/(const std::filesystem::path &name) const { return path / name; }

  std::filesystem::path path;

  /// Removes `folder` with what it holds, in the long form, so that folders
  /// deeper than MAX_PATH go too (std::filesystem leaves them).
  static void RemoveTree(const std::wstring &folder) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
          continue;
        const std::wstring path = folder + L"\\" + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
          RemoveTree(path);
        else
          DeleteFileW(path.c_str());
      } while (FindNextFileW(find, &data));
      FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
  }

  static std::string Utf8(const std::wstring &wide) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text.data(), size, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(size) - 1);
    return text;
  }
};

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
