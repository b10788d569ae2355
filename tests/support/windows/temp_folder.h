//===- support/windows/temp_folder.h - A folder of its own per test -------===//
///
/// \file
/// The Win32 tests make their files in a fresh folder under the
/// system's temporary folder (under Wine inside the prefix's drive C:),
/// removed again afterwards. Names are UTF-8, as fs takes them; WideOf gives
/// the UTF-16 form for the checks that call Win32 directly, with the "\\?\"
/// prefix once a path is long.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// After the project's headers: <windows.h> defines macros that fs headers
// declare as constants.
#include <windows.h>

namespace velkor::test {

inline std::string Utf8Of(const std::filesystem::path &path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

inline std::wstring WideOf(const std::string &utf8) {
  std::wstring wide = std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
  if (wide.size() > MAX_PATH - 12 && wide.size() > 2 && wide[1] == L':') {
    for (wchar_t &c : wide)
      if (c == L'/')
        c = L'\\';
    wide.insert(0, L"\\\\?\\");
  }
  return wide;
}

inline TTString T(const std::string &utf8) { return TTString(utf8.c_str()); }

/// Whether the tests run under Wine, whose file systems keep less than
/// NTFS does (no creation times on Linux, named streams as files).
inline bool UnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

/// Removes a folder and all it holds, read-only files and paths beyond
/// MAX_PATH included (std::filesystem reaches neither here). `folder` is in
/// the long form ("\\?\" and a full path). A reparse point is removed
/// itself, never followed.
inline void RemoveFolderTree(const std::wstring &folder) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..")
        continue;
      const std::wstring full = folder + L"\\" + name;
      SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
          (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        RemoveFolderTree(full);
      else if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        RemoveDirectoryW(full.c_str());
      else
        DeleteFileW(full.c_str());
    } while (FindNextFileW(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

class TempFolder {
public:
  TempFolder() {
    const auto base = std::filesystem::temp_directory_path();
    for (unsigned attempt = 0;; ++attempt) {
      path = base / ("velkor-fs-" + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(GetTickCount64()) + "-" + std::to_string(attempt));
      if (std::filesystem::create_directory(path))
        break;
    }
  }
  TempFolder(const TempFolder &) = delete;
  TempFolder &operator=(const TempFolder &) = delete;
  ~TempFolder() { RemoveFolderTree(L"\\\\?\\" + path.wstring()); }

  /// The UTF-8 path of `name` in the folder.
  std::string operator/(const std::string &name) const {
    return Utf8Of(path / std::filesystem::path(std::u8string(name.begin(), name.end())));
  }
  std::string Path() const { return Utf8Of(path); }
  /// The folder as UTF-8 text ending in a backslash, for patterns.
  std::string Text() const { return Utf8Of(path) + "\\"; }
  /// The folder as the standard library's path, for the wide calls.
  const std::filesystem::path &Native() const { return path; }

private:
  std::filesystem::path path;
};

/// Writes `content` to the UTF-8 `path`, replacing the file.
inline void WriteText(const std::string &path, const std::string &content) {
  HANDLE file = CreateFileW(WideOf(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path << ": error " << GetLastError();
  DWORD written = 0;
  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
}

/// The whole content of `path`; empty when it cannot be read.
inline std::string ReadText(const std::string &path) {
  HANDLE file = CreateFileW(WideOf(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return {};
  std::string content;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    content.append(buffer, got);
  CloseHandle(file);
  return content;
}

inline DWORD AttributesOf(const std::string &path) {
  return GetFileAttributesW(WideOf(path).c_str());
}

inline bool Exists(const std::string &path) {
  return AttributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

} // namespace velkor::test
