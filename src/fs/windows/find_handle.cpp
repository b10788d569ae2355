//===- fs/windows/find_handle.cpp - Directory search with FindFirstFileExW ===//
//
// The listing is FindFirstFileExW/FindNextFileW; what a listing does not
// give (the volume's serial number, the file index, the link count and the
// change time) comes from the entry opened as itself: with
// FILE_FLAG_OPEN_REPARSE_POINT a junction or symbolic link is opened, never
// what it leads to. Every folder on a search's path is checked for a reparse
// point first, so that no search goes through one.
//
//===----------------------------------------------------------------------===//

#include "fs/find_handle.h"

#include "fs/path_names.h"
#include "fs/windows/wide_name.h"

#include <string>

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>

using namespace velkor::windows;

namespace {

// The file-type bits of st_mode, which the record's mode carries on every
// system.
constexpr std::uint32_t kModeDirectory = 0040000;
constexpr std::uint32_t kModeRegular = 0100000;
constexpr std::uint32_t kModeLink = 0120000;

TTFileTime ToFileTime(const FILETIME &time) {
  return TTFileTime{time.dwLowDateTime, time.dwHighDateTime};
}

TTFileTime ToFileTime(const LARGE_INTEGER &time) {
  return TTFileTime::FromValue(static_cast<std::uint64_t>(time.QuadPart));
}

/// The type and permission bits for the attributes: a read-only entry may
/// not be written by anyone.
std::uint32_t ModeFor(DWORD attributes) {
  std::uint32_t type = kModeRegular;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    type = kModeLink;
  else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    type = kModeDirectory;
  const std::uint32_t permissions = (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
  return type | permissions;
}

/// Fills the fields the attributes, times and size give.
void FillCommon(TTFindRecord &record, DWORD attributes, const TTFileTime &creation,
                const TTFileTime &lastAccess, const TTFileTime &lastWrite, std::uint64_t size) {
  record.attributes = attributes;
  record.mode = ModeFor(attributes);
  record.creationTime = creation;
  record.lastAccessTime = lastAccess;
  record.lastWriteTime = lastWrite;
  record.lastAccess = FileTimeToTimespec(lastAccess);
  record.lastWrite = FileTimeToTimespec(lastWrite);
  record.sizeHigh = static_cast<std::uint32_t>(size >> 32);
  record.sizeLow = static_cast<std::uint32_t>(size);
}

/// Fills the record from a listing's entry data.
void FillFromFindData(TTFindRecord &record, const WIN32_FIND_DATAW &data, const TTString &name) {
  record.name = name;
  FillCommon(record, data.dwFileAttributes, ToFileTime(data.ftCreationTime),
             ToFileTime(data.ftLastAccessTime), ToFileTime(data.ftLastWriteTime),
             (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  // Until the entry is opened, the last write stands in for the change.
  record.change = record.lastWrite;
}

/// Fills every field but the name from the entry at `path`, opened as itself,
/// after its listing's entry data filled the record. False when it cannot be
/// opened or read; the record is then unchanged.
bool FillFromEntry(TTFindRecord &record, const std::wstring &path) {
  const HANDLE file =
      CreateFileW(LongPathForm(path).c_str(), FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  BY_HANDLE_FILE_INFORMATION info;
  FILE_BASIC_INFO basic;
  const bool read = GetFileInformationByHandle(file, &info) != 0 &&
                    GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) != 0;
  CloseHandle(file);
  if (!read)
    return false;
  // The listing's reparse bit holds: Wine opens what a symbolic link leads
  // to even with FILE_FLAG_OPEN_REPARSE_POINT and reports that one's
  // attributes.
  const DWORD listed = record.attributes & FILE_ATTRIBUTE_REPARSE_POINT;
  FillCommon(record, info.dwFileAttributes | listed, ToFileTime(info.ftCreationTime),
             ToFileTime(info.ftLastAccessTime), ToFileTime(info.ftLastWriteTime),
             (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
  record.change = FileTimeToTimespec(ToFileTime(basic.ChangeTime));
  record.device = info.dwVolumeSerialNumber;
  record.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  record.linkCount = info.nNumberOfLinks;
  record.owner = 0;
  record.group = 0;
  return true;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

/// The position after the server and share names that start at `start`.
std::size_t SkipShare(const std::wstring &path, std::size_t start) {
  for (int parts = 0; parts < 2 && start < path.size(); ++parts) {
    while (start < path.size() && !IsSeparator(path[start]))
      ++start;
    if (start < path.size())
      ++start;
  }
  return start;
}

/// How many characters of `path` name its root, which the checks of its
/// folders start after: "\\?\C:\", "\\server\share\", "C:\", "C:",
/// "\", or nothing for a relative path.
std::size_t RootLength(const std::wstring &path) {
  std::size_t start = 0;
  if (path.rfind(L"\\\\?\\", 0) == 0) {
    start = 4;
    if (path.compare(start, 4, L"UNC\\") == 0)
      return SkipShare(path, start + 4);
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    return SkipShare(path, 2);
  }
  if (path.size() >= start + 2 && path[start + 1] == L':')
    start += 2;
  if (path.size() > start && IsSeparator(path[start]))
    ++start;
  return start;
}

/// True when every folder of `folder` below its root can be looked at and
/// none is a reparse point (a junction, a symbolic link, a mounted volume):
/// no search goes through one.
bool FoldersAreReal(const std::wstring &folder) {
  std::size_t begin = RootLength(folder);
  while (begin < folder.size()) {
    std::size_t end = begin;
    while (end < folder.size() && !IsSeparator(folder[end]))
      ++end;
    const std::wstring component = folder.substr(begin, end - begin);
    if (!component.empty() && component != L"." && component != L"..") {
      const DWORD attributes = GetFileAttributesW(LongPathForm(folder.substr(0, end)).c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES ||
          (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
          (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return false;
    }
    begin = end + 1;
  }
  return true;
}

/// True when the pattern asks for a listing: "*" alone or after a separator.
bool IsListingPattern(const TTString &pattern) {
  const std::int32_t length = pattern.Length();
  return length > 0 && pattern.At(length - 1) == '*' &&
         (length == 1 || IsPathSeparator(pattern.At(length - 2)));
}

/// True when the name holds a byte that FindFirstFileExW would take as a
/// wildcard; no Windows name holds one.
bool HoldsSearchWildcard(const char *name) {
  for (; *name != '\0'; ++name) {
    switch (*name) {
    case '*':
    case '?':
    case '<':
    case '>':
    case '"':
      return true;
    default:
      break;
    }
  }
  return false;
}

} // namespace

/// A listing's search handle and folder, or a single lookup's path.
struct TTFindHandle::Search {
  Search() = default;
  Search(const Search &) = delete;
  Search &operator=(const Search &) = delete;
  ~Search() {
    if (find != INVALID_HANDLE_VALUE)
      FindClose(find);
  }

  HANDLE find = INVALID_HANDLE_VALUE;
  /// The data of the entry last read; `pending` while it is not reported.
  WIN32_FIND_DATAW data{};
  bool pending = false;
  /// The folder listed, as given (empty for the current directory), with
  /// its closing separator.
  std::wstring folder;
  /// The search is a single lookup of `path`; its one entry is reported.
  bool single = false;
  std::wstring path;
};

TTFindHandle::TTFindHandle() : search(std::make_unique<Search>()), open(false) {}

TTFindHandle::~TTFindHandle() = default;

bool TTFindHandle::Start(const TTString &pattern, TTFindRecord &record, bool complete) {
  if (open)
    return false; // a handle is never restarted
  if (IsListingPattern(pattern)) {
    const TTString folder = pattern.Left(pattern.Length() - 1);
    std::wstring wideFolder;
    if (!Utf8ToWide(folder.CStr(), wideFolder) || !FoldersAreReal(wideFolder))
      return false;
    const std::wstring widePattern = LongPathForm(wideFolder + L"*");
    const HANDLE find = FindFirstFileExW(widePattern.c_str(), FindExInfoBasic, &search->data,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE)
      return false;
    search->find = find;
    search->folder = wideFolder;
    search->pending = true;
    open = true;
    return ReadEntry(record, complete);
  }

  // A single lookup: the entry's name is the text after the last delimiter.
  TTString directory, name;
  SplitPath(pattern, directory, name);
  if (name.IsEmpty() || HoldsSearchWildcard(name.CStr()))
    return false;
  std::wstring wideFolder, widePath;
  if (!Utf8ToWide(directory.CStr(), wideFolder) || !Utf8ToWide(pattern.CStr(), widePath) ||
      !FoldersAreReal(wideFolder))
    return false;
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileExW(LongPathForm(widePath).c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE)
    return false;
  FindClose(find);
  // The name as the folder holds it, in its own letter case.
  TTString found;
  if (!WideToUtf8(data.cFileName, found))
    return false;
  TTFindRecord entry = record;
  FillFromFindData(entry, data, found);
  if (!FillFromEntry(entry, widePath))
    return false;
  record = entry;
  open = true;
  search->single = true;
  search->path = widePath;
  return true;
}

bool TTFindHandle::ReadEntry(TTFindRecord &record, bool complete) {
  if (!open || search->single)
    return false;
  for (;;) {
    if (!search->pending && FindNextFileW(search->find, &search->data) == 0)
      return false; // the end, or an error: both end the listing
    search->pending = false;
    TTString name;
    if (!WideToUtf8(search->data.cFileName, name))
      continue; // a name that no UTF-8 text can reach again
    TTFindRecord entry = record;
    FillFromFindData(entry, search->data, name);
    if (complete && !FillFromEntry(entry, search->folder + search->data.cFileName)) {
      // Gone since it was listed, or not to be looked at: passed over like
      // an entry that was never there.
      continue;
    }
    record = entry;
    return true;
  }
}

bool TTFindHandle::CompleteRecord(TTFindRecord &record) {
  if (!open)
    return false;
  return FillFromEntry(record,
                       search->single ? search->path : search->folder + search->data.cFileName);
}

bool TTFindHandle::DirectoryMount(std::uint64_t &mount) const {
  if (!open || search->single)
    return false;
  // "." after the folder: "C:" alone is the drive's current folder.
  const std::wstring folder = LongPathForm(search->folder + L".");
  const HANDLE file = CreateFileW(
      folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool read = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  if (read)
    mount = info.dwVolumeSerialNumber;
  return read;
}
