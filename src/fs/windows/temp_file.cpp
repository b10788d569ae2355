//===- fs/windows/temp_file.cpp - Temporary copies and their sweep on Win32 ===//

#include "fs/temp_file.h"

#include "core/exceptions.h"
#include "fs/file_operations.h"
#include "fs/file_time.h"
#include "fs/windows/copy_mark.h"
#include "fs/windows/wide_name.h"

// After the project's headers: <windows.h> defines macros that fs headers
// declare as constants.
#include <windows.h>
#include <io.h>

#include <cstring>
#include <string>

namespace {

/// The first bytes of every compound file.
constexpr unsigned char kCompoundSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

/// The longest path the wide calls take, in UTF-16 units.
constexpr std::size_t kLongestPath = 32768;

HANDLE OsHandle(int descriptor) { return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)); }

/// The mark's value for a file: its index on the volume, so that a mark
/// carried along to another file marks nothing.
std::string CopyMarkValue(const BY_HANDLE_FILE_INFORMATION &file) {
  const std::uint64_t index =
      (static_cast<std::uint64_t>(file.nFileIndexHigh) << 32) | file.nFileIndexLow;
  return std::to_string(index);
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION &a, const BY_HANDLE_FILE_INFORMATION &b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

/// Whether `file` carries the mark of the file `identity` describes.
bool CarriesCopyMark(const std::wstring &file, const BY_HANDLE_FILE_INFORMATION &identity) {
  HANDLE stream = CreateFileW(MarkStreamOf(file).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (stream == INVALID_HANDLE_VALUE)
    return false;
  char value[32];
  DWORD got = 0;
  const bool read = ReadFile(stream, value, sizeof value, &got, nullptr) != 0;
  CloseHandle(stream);
  const std::string wanted = CopyMarkValue(identity);
  return read && got == wanted.size() && std::memcmp(value, wanted.data(), got) == 0;
}

/// Empty, or starting with the compound-file signature.
bool LooksLikeOurCopy(HANDLE file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size))
    return false;
  if (size.QuadPart == 0)
    return true;
  unsigned char head[sizeof kCompoundSignature];
  DWORD got = 0;
  return ReadFile(file, head, sizeof head, &got, nullptr) && got == sizeof head &&
         std::memcmp(head, kCompoundSignature, sizeof head) == 0;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsHexDigit(char c) {
  const char lower = LowerAscii(c);
  return (lower >= '0' && lower <= '9') || (lower >= 'a' && lower <= 'f');
}

bool EqualIgnoringCase(const char *a, const char *b, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    if (a[i] == '\0' || b[i] == '\0' || LowerAscii(a[i]) != LowerAscii(b[i]))
      return false;
  return true;
}

/// A name GetTempFileNameW gives for `prefix`: the prefix's first three
/// bytes, one to four hexadecimal digits in either case (Windows writes
/// upper case, Wine lower case) without a leading zero, and ".tmp" (the
/// file system ignores case, so ".TMP" is the same).
bool IsTempFileName(const std::string &name, const TTString &prefix) {
  const TTString head = prefix.Left(3);
  const std::size_t headLength = static_cast<std::size_t>(head.Length());
  if (name.size() < headLength || !EqualIgnoringCase(name.c_str(), head.CStr(), headLength))
    return false;
  const char *digits = name.c_str() + headLength;
  std::size_t count = 0;
  while (count < 5 && IsHexDigit(digits[count]))
    ++count;
  return count >= 1 && count <= 4 && digits[0] != '0' && std::strlen(digits + count) == 4 &&
         EqualIgnoringCase(digits + count, ".tmp", 4);
}

constexpr DWORD kNotARegularFile =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;

/// What a look without opening the data tells (an open for attributes
/// alone, which no share mode refuses): a regular file, not a reparse
/// point, with one link, last changed before `olderThan`; and its identity.
bool Look(const std::wstring &file, std::uint64_t olderThan, BY_HANDLE_FILE_INFORMATION &identity,
          bool &singleLink) {
  HANDLE handle = CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  FILE_BASIC_INFO basic{};
  FILE_STANDARD_INFO standard{};
  const bool known =
      GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) &&
      GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) &&
      GetFileInformationByHandle(handle, &identity);
  CloseHandle(handle);
  singleLink = standard.NumberOfLinks == 1;
  // The change time, unlike the times SetFileTime stamps on a copy, tells
  // when the file was last touched.
  return known && (basic.FileAttributes & kNotARegularFile) == 0 &&
         static_cast<std::uint64_t>(basic.ChangeTime.QuadPart) < olderThan;
}

bool MarkByName(HANDLE file, const std::wstring &path);

} // namespace

TTString TTTempFile::Create(const TTString &directory, const TTString &prefix) {
  Remove();
  // Opened with no sharing: no sweep can open it while it is held.
  name = MakeTempFileName(directory, prefix, &descriptor);
  armed = true;
  // Where the file system keeps no named streams (FAT) the copy is made all
  // the same; a sweep there finds it unmarked and removes nothing. Marked
  // through the name just made: Wine cannot give back a long path from a
  // handle.
  std::wstring wide;
  if (velkor::windows::WidePath(
          std::string_view(name.CStr(), static_cast<std::size_t>(name.Length())), wide))
    MarkByName(OsHandle(descriptor), wide);
  return name;
}

void TTTempFile::Unlock() {
  if (descriptor >= 0) {
    _close(descriptor);
    descriptor = -1;
  }
}

bool TTTempFile::Unmark() {
  if (descriptor < 0)
    return false;
  std::wstring wide;
  if (!velkor::windows::WidePath(
          std::string_view(name.CStr(), static_cast<std::size_t>(name.Length())), wide))
    return false;
  return RemoveMark(wide) == 0;
}

void TTTempFile::Remove() {
  if (!armed) {
    Unlock();
    return;
  }
  // A file held with no sharing cannot be deleted: closed first. A sweep
  // that takes it in between removes what this would have removed.
  Unlock();
  RemoveFileIfExists(name);
  std::wstring wide;
  if (velkor::windows::WidePath(
          std::string_view(name.CStr(), static_cast<std::size_t>(name.Length())), wide))
    RemoveMark(wide); // Wine keeps it as a file beside the copy
  armed = false;
}

namespace {

/// Writes the mark of the open `file` into the stream of `path`, its name.
bool MarkByName(HANDLE file, const std::wstring &path) {
  BY_HANDLE_FILE_INFORMATION identity;
  if (file == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file, &identity))
    return false;
  HANDLE stream = CreateFileW(MarkStreamOf(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (stream == INVALID_HANDLE_VALUE)
    return false;
  const std::string value = CopyMarkValue(identity);
  DWORD written = 0;
  const bool done =
      WriteFile(stream, value.data(), static_cast<DWORD>(value.size()), &written, nullptr) &&
      written == value.size();
  CloseHandle(stream);
  return done;
}

} // namespace

bool MarkAsTemporaryCopy(int descriptor) {
  HANDLE file = OsHandle(descriptor);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                              FILE_NAME_NORMALIZED);
    if (n == 0) {
      // Wine answers a buffer that is too small with ERROR_MORE_DATA rather
      // than the size it needs.
      if (GetLastError() != ERROR_MORE_DATA || path.size() >= kLongestPath)
        return false;
      path.resize(path.size() * 2);
      continue;
    }
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(n);
  }
  return MarkByName(file, path);
}

void SweepAbandonedTempFiles(const TTString &directory, const TTString &prefix,
                             const timespec &olderThan, bool remove,
                             const std::function<void(const TTString &, TempFileFinding)> &found) {
  std::wstring folder;
  if (!velkor::windows::WidePath(
          directory.IsEmpty() ? std::string_view(".") : std::string_view(directory.CStr()), folder))
    return;
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
    folder += L'\\';
  TTString base = directory;
  if (!base.IsEmpty() && base.At(base.Length() - 1) != '\\' && base.At(base.Length() - 1) != '/')
    base += '\\';
  const std::uint64_t limit = TimespecToFileTime(olderThan).Value();

  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &entry,
                                   FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE)
    return;
  do {
    std::string name;
    if (!velkor::windows::WideToUtf8(entry.cFileName, name) || !IsTempFileName(name, prefix) ||
        (entry.dwFileAttributes & kNotARegularFile) != 0)
      continue;
    const std::wstring file = folder + entry.cFileName;
    const TTString path = base + name.c_str();
    BY_HANDLE_FILE_INFORMATION looked;
    bool singleLink = false;
    if (!Look(file, limit, looked, singleLink))
      continue;
    if (!CarriesCopyMark(file, looked)) {
      // Not a copy of ours: a document's old file that a failed
      // replacement left under the copy's name, or someone else's file.
      found(path, TempFileFinding::leftover);
      continue;
    }
    if (!singleLink)
      continue;
    // Opened with no sharing: a live writer holds its copy open, and the
    // open then fails with a sharing violation and the copy stays.
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
      continue;
    BY_HANDLE_FILE_INFORMATION opened;
    const bool abandoned = GetFileInformationByHandle(handle, &opened) &&
                           SameFile(opened, looked) && CarriesCopyMark(file, opened) &&
                           LooksLikeOurCopy(handle);
    bool removed = false;
    if (abandoned && remove) {
      // Deleted through the handle that was examined, not by name.
      FILE_DISPOSITION_INFO disposition{};
      disposition.DeleteFile = TRUE;
      removed =
          SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
    }
    CloseHandle(handle);
    if (removed)
      RemoveMark(file); // Wine keeps it as a file beside the copy
    if (abandoned && (removed || !remove))
      found(path, removed ? TempFileFinding::removedCopy : TempFileFinding::abandonedCopy);
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}
