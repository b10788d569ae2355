//===- cli/windows/run_arguments.cpp - A PATH argument checked on Windows -===//

#include "cli/run_arguments.h"
#include "cli/command_support.h"
#include "fs/windows/wide_name.h"

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>

namespace velkor::cli {
namespace {

/// Whether the entry at `path` is a junction, a symbolic link or another
/// reparse point that stands for a name elsewhere. The other reparse points
/// (deduplicated or cloud files) hold their data in place and are files as
/// any other.
bool IsNameSurrogate(const std::wstring &path) {
  WIN32_FIND_DATAW data{};
  const HANDLE search = FindFirstFileW(path.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE)
    return true; // a reparse point that cannot be looked at is not followed either
  FindClose(search);
  return IsReparseTagNameSurrogate(data.dwReserved0);
}

/// The pattern that lists the folder `path`.
std::wstring AllEntriesOf(std::wstring path) {
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/' && path.back() != L':')
    path += L'\\';
  return path + L'*';
}

} // namespace

PathKind CheckPathArgument(const std::string &path, std::string &error) {
  std::wstring wide;
  if (path.empty() || !velkor::windows::WidePath(path, wide)) {
    error = "cannot access " + Quoted(path) + ": " +
            SystemErrorText(path.empty() ? ERROR_FILE_NOT_FOUND : GetLastError());
    return PathKind::unusable;
  }
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error = "cannot access " + Quoted(path) + ": " + SystemErrorText(GetLastError());
    return PathKind::unusable;
  }
  // A junction or link given as PATH is not followed, whether it leads to a
  // file or a folder: the walk follows none either.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsNameSurrogate(wide)) {
    error = Quoted(path) + " is a junction or symbolic link, which is not followed";
    return PathKind::unusable;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    WIN32_FIND_DATAW data{};
    const HANDLE search = FindFirstFileW(AllEntriesOf(wide).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_NOT_FOUND) {
      error = "cannot read directory " + Quoted(path) + ": " + SystemErrorText(GetLastError());
      return PathKind::unusable;
    }
    if (search != INVALID_HANDLE_VALUE)
      FindClose(search);
    return PathKind::directory;
  }
  // Shared with every other opener: whether another program has the file
  // open is the run's question, answered document by document.
  const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD failure = GetLastError();
    // A program that shares the file with nobody: the run passes it over as
    // in use, as it does for such a document found in a folder.
    if (failure == ERROR_SHARING_VIOLATION)
      return PathKind::file;
    error = "cannot read " + Quoted(path) + ": " + SystemErrorText(failure);
    return PathKind::unusable;
  }
  const DWORD type = GetFileType(file);
  CloseHandle(file);
  if (type != FILE_TYPE_DISK) {
    error = Quoted(path) + " is neither a regular file nor a directory";
    return PathKind::unusable;
  }
  return PathKind::file;
}

} // namespace velkor::cli
