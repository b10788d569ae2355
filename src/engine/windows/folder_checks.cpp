//===- engine/windows/folder_checks.cpp - What the run asks about folders -===//

#include "engine/folder_checks.h"

#include "fs/windows/wide_name.h"

#include <string>
#include <vector>

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>

using namespace velkor::windows;

namespace {

bool SameLetters(const std::wstring &a, const std::wstring &b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

bool CurrentDirectoryIsMountRoot() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0)
    return false;
  std::vector<wchar_t> buffer(size + 1, L'\0');
  const DWORD length = GetCurrentDirectoryW(size, buffer.data());
  if (length == 0 || length >= size)
    return false;
  std::wstring here(buffer.data(), length);
  if (here.back() != L'\\')
    here += L'\\';
  std::vector<wchar_t> volume(here.size() + MAX_PATH, L'\0');
  if (GetVolumePathNameW(here.c_str(), volume.data(), static_cast<DWORD>(volume.size())) == 0)
    return false;
  return SameLetters(here, volume.data());
}

bool FolderKeyOf(const TTString &directory, std::uint64_t &device, std::uint64_t &inode) {
  std::wstring folder;
  if (!Utf8ToWide(directory.CStr(), folder))
    return false;
  // "." after the folder: "C:" alone is the drive's current folder.
  folder = LongPathForm(folder + L".");
  const HANDLE file = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool read = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  if (!read)
    return false;
  device = info.dwVolumeSerialNumber;
  inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}
