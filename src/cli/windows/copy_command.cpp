//===- cli/windows/copy_command.cpp - The copy command's look at files ----===//

#include "cli/copy_command.h"
#include "fs/windows/wide_name.h"

#include <io.h>

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>

namespace velkor::cli {
namespace {

bool FactsOfHandle(HANDLE handle, FileFacts &facts) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info))
    return false;
  facts.isDirectory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts.isRegular = !facts.isDirectory && GetFileType(handle) == FILE_TYPE_DISK;
  facts.volume = info.dwVolumeSerialNumber;
  facts.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  facts.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return true;
}

/// Opens `path` for looking at only, shared with every other opener; a
/// folder too (backup semantics). `followLinks` false opens a junction or
/// link itself.
HANDLE OpenToLookAt(const std::string &path, bool followLinks) {
  std::wstring wide;
  if (!velkor::windows::WidePath(path, wide))
    return INVALID_HANDLE_VALUE;
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  return CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     flags, nullptr);
}

} // namespace

bool FactsOfOpenFile(int descriptor, FileFacts &facts) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  if (handle == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return FactsOfHandle(handle, facts);
}

bool FactsOfFile(const std::string &path, FileFacts &facts) {
  const HANDLE handle = OpenToLookAt(path, true);
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  const bool known = FactsOfHandle(handle, facts);
  CloseHandle(handle);
  return known;
}

bool SizeOfOwnFile(const std::string &path, std::uint64_t &size) {
  const HANDLE handle = OpenToLookAt(path, false);
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  FileFacts facts;
  const bool known = FactsOfHandle(handle, facts);
  const DWORD error = GetLastError();
  CloseHandle(handle);
  SetLastError(error);
  if (known)
    size = facts.size;
  return known;
}

bool CopyIsClosedBeforeItMoves() { return true; }

} // namespace velkor::cli
