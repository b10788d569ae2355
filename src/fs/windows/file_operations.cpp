//===- fs/windows/file_operations.cpp - Named files and folders on Win32 --===//

#include "fs/file_operations.h"

#include "core/exceptions.h"
#include "fs/find_handle.h"
#include "fs/path_error.h"
#include "fs/path_names.h"
#include "fs/temp_file.h"
#include "fs/windows/copy_mark.h"
#include "fs/windows/wide_name.h"

// After the project's headers: <windows.h> defines macros that fs headers
// declare as constants.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <optional>
#include <ctime>

namespace {

using velkor::windows::FullWidePathOf;
using velkor::windows::WidePathOf;

/// The attribute bits SetFileAttributesW sets; the others (directory,
/// reparse point, compressed, ...) belong to the file system.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

/// What SetFileAttributesW is given for `attributes`: 0 is written as
/// FILE_ATTRIBUTE_NORMAL, which stands alone.
DWORD AttributesToSet(DWORD attributes) {
  attributes &= kSettableAttributes;
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

[[noreturn]] void ThrowWithName(const TTString &path, DWORD error) {
  ThrowPathErrorWithName(path, static_cast<int>(error));
}

[[noreturn]] void ThrowWithoutName(DWORD error) {
  ThrowFileException(PathErrorToFileError(nullptr, static_cast<int>(error)), error);
}

/// Flushes the file's data to the device.
bool FlushByName(const std::wstring &file) {
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  const bool flushed = FlushFileBuffers(handle) != 0;
  const DWORD error = GetLastError();
  CloseHandle(handle);
  SetLastError(error);
  return flushed;
}

/// Gives `file` its creation time and attribute bits back: what a document
/// keeps across its replacement.
DWORD RestoreDocumentLook(const std::wstring &file, const FILETIME &creation, DWORD attributes) {
  HANDLE handle = CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return GetLastError();
  const bool timed = SetFileTime(handle, &creation, nullptr, nullptr) != 0;
  const DWORD error = GetLastError();
  CloseHandle(handle);
  if (!timed)
    return error;
  return SetFileAttributesW(file.c_str(), AttributesToSet(attributes)) ? 0 : GetLastError();
}

/// The move for where ReplaceFileW cannot be used: the source's data on
/// the device first, then one rename over the target that lasts. Onto
/// another volume the system copies and then deletes the source, and with
/// MOVEFILE_WRITE_THROUGH returns only when the copy is on the disk: the
/// source stays whole until the target holds all of it.
bool MoveOver(const std::wstring &source, const std::wstring &target) {
  return FlushByName(source) && MoveFileExW(source.c_str(), target.c_str(),
                                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH |
                                                MOVEFILE_COPY_ALLOWED) != 0;
}

/// The serial number of the volume that holds `file`; false when it cannot
/// be read.
/// What identifies `file` (its volume and index), looked at without
/// disturbing any program that has it open; false when it cannot be read.
bool InformationOf(const std::wstring &file, BY_HANDLE_FILE_INFORMATION &information) {
  HANDLE handle = CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  const bool known = GetFileInformationByHandle(handle, &information) != 0;
  CloseHandle(handle);
  return known;
}

/// Whether `file` is the file `expected` describes.
bool IsFile(const std::wstring &file, const BY_HANDLE_FILE_INFORMATION &expected) {
  BY_HANDLE_FILE_INFORMATION information;
  return InformationOf(file, information) &&
         information.dwVolumeSerialNumber == expected.dwVolumeSerialNumber &&
         information.nFileIndexHigh == expected.nFileIndexHigh &&
         information.nFileIndexLow == expected.nFileIndexLow;
}

bool VolumeOf(const std::wstring &file, DWORD &serial) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!InformationOf(file, information))
    return false;
  serial = information.dwVolumeSerialNumber;
  return true;
}

/// Whether the two files lie on one volume, as far as the system tells.
/// Wine's ReplaceFileW across volumes removes the document and then fails
/// to move the copy (ERROR_UNABLE_TO_MOVE_REPLACEMENT), so another volume is
/// found out before it is called.
bool OnOneVolume(const std::wstring &a, const std::wstring &b) {
  DWORD first = 0, second = 0;
  return !VolumeOf(a, first) || !VolumeOf(b, second) || first == second;
}

/// Errors of ReplaceFileW that mean "not here": another volume, or a file
/// system that does not offer it.
bool ReplaceNotAvailable(DWORD error) {
  return error == ERROR_NOT_SAME_DEVICE || error == ERROR_INVALID_FUNCTION ||
         error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER;
}

bool Exists(const std::wstring &file) {
  return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

/// The name ReplaceFileW moves the document to before the copy takes its
/// place: a fresh vkrXXXX.tmp beside it, reserved empty. Without one,
/// ReplaceFileW may delete the document before the copy has its name (Wine
/// does), and a kill between the two steps would lose the document; with
/// one, the old file is whole under this name until the replacement is
/// done, and then removed. Where the run is killed in between, the next
/// run names it as a leftover (it carries no copy's mark).
class ReplacedDocumentName {
public:
  explicit ReplacedDocumentName(const TTString &target)
      : name(FullWidePathOf(MakeTempFileName(DirectoryOf(target), kTempFilePrefix))) {}
  ReplacedDocumentName(const ReplacedDocumentName &) = delete;
  ReplacedDocumentName &operator=(const ReplacedDocumentName &) = delete;
  /// Removes the name when it still holds only what was reserved, or, after
  /// Replaced, the old document. A name that cannot be removed stays, for
  /// the next run to name.
  ~ReplacedDocumentName() {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data))
      return;
    if (replaced || (data.nFileSizeHigh == 0 && data.nFileSizeLow == 0)) {
      SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(name.c_str());
    }
  }
  /// The copy holds the document's name now: the old file under this name
  /// may go.
  void Replaced() { replaced = true; }
  const wchar_t *Wide() const { return name.c_str(); }

private:
  std::wstring name;
  bool replaced = false;
};

} // namespace

TTFileAttributes ReadAttributes(const TTString &path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WidePathOf(path).c_str(), GetFileExInfoStandard, &data))
    ThrowWithName(path, GetLastError());
  TTFileAttributes attributes;
  attributes.fileAttributes = data.dwFileAttributes & kSettableAttributes;
  return attributes;
}

void SetAttributes(const TTString &path, const TTFileAttributes &attributes) {
  const std::wstring wide = WidePathOf(path);
  if (const DWORD error = RemoveMark(wide); error != 0)
    ThrowWithName(path, error);
  if (!SetFileAttributesW(wide.c_str(), AttributesToSet(attributes.fileAttributes)))
    ThrowWithName(path, GetLastError());
}

void SetAttributes(const TTString &path, const TTFindRecord &record) {
  if (!SetFileAttributesW(WidePathOf(path).c_str(), AttributesToSet(record.attributes)))
    ThrowWithName(path, GetLastError());
}

void RemoveFile(const TTString &path) {
  if (!DeleteFileW(WidePathOf(path).c_str()))
    ThrowWithName(path, GetLastError());
}

void RemoveFileIfExists(const TTString &path) {
  const std::wstring wide = WidePathOf(path);
  // Clearing the attributes tells whether the file exists, and takes away a
  // read-only attribute that would stop the deletion.
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND)
      return; // gone already; a missing folder is ERROR_PATH_NOT_FOUND
    ThrowWithName(path, error);
  }
  if (!SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL)) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND)
      return;
    ThrowWithName(path, error);
  }
  if (!DeleteFileW(wide.c_str())) {
    const DWORD error = GetLastError();
    // A file that stays keeps the attributes it had.
    SetFileAttributesW(wide.c_str(), AttributesToSet(attributes));
    ThrowWithName(path, error);
  }
}

void RenameFile(const TTString &source, const TTString &target) {
  const std::wstring from = WidePathOf(source);
  const std::wstring to = WidePathOf(target);
  if (!MoveFileExW(from.c_str(), to.c_str(), 0))
    ThrowWithoutName(GetLastError());
}

void MoveFileReplacing(const TTString &source, const TTString &target) {
  // Full paths: under Wine ReplaceFileW fails with relative ones (error 267).
  const std::wstring from = FullWidePathOf(source);
  const std::wstring to = FullWidePathOf(target);
  // The mark belongs to the copy; the document must not carry it on.
  if (const DWORD error = RemoveMark(from); error != 0)
    ThrowWithName(source, error);

  WIN32_FILE_ATTRIBUTE_DATA document;
  if (!GetFileAttributesExW(to.c_str(), GetFileExInfoStandard, &document)) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND)
      ThrowWithoutName(error);
    if (!MoveOver(from, to))
      ThrowWithoutName(GetLastError());
    return; // nothing to replace: the copy simply takes the name
  }
  if ((document.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    ThrowWithoutName(ERROR_ACCESS_DENIED);
  // The file the document's name holds now: the caller checked it last.
  BY_HANDLE_FILE_INFORMATION checked;
  if (!InformationOf(to, checked))
    ThrowWithName(target, GetLastError());
  const DWORD documentAttributes = document.dwFileAttributes & kSettableAttributes;
  const DWORD copyAttributes = GetFileAttributesW(from.c_str());
  if (copyAttributes == INVALID_FILE_ATTRIBUTES)
    ThrowWithoutName(GetLastError());

  // A read-only document or copy makes ReplaceFileW fail with access denied;
  // both lose the bit for the replacement, and the document gets its own
  // attributes back afterwards (Wine's ReplaceFileW does not carry them).
  const auto giveBack = [&] {
    if (Exists(to))
      SetFileAttributesW(to.c_str(), AttributesToSet(documentAttributes));
    if (Exists(from))
      SetFileAttributesW(from.c_str(), AttributesToSet(copyAttributes));
  };
  if (((documentAttributes & FILE_ATTRIBUTE_READONLY) != 0 &&
       !SetFileAttributesW(to.c_str(),
                           AttributesToSet(documentAttributes & ~FILE_ATTRIBUTE_READONLY))) ||
      ((copyAttributes & FILE_ATTRIBUTE_READONLY) != 0 &&
       !SetFileAttributesW(from.c_str(),
                           AttributesToSet(copyAttributes & ~FILE_ATTRIBUTE_READONLY)))) {
    const DWORD error = GetLastError();
    giveBack();
    ThrowWithoutName(error);
  }

  const bool oneVolume = OnOneVolume(from, to);
  std::optional<ReplacedDocumentName> oldDocument;
  if (oneVolume) {
    try {
      oldDocument.emplace(target);
    } catch (const TTFileException &) {
      giveBack();
      throw;
    }
  }
  bool movedAside = true; // the name's old file went to oldDocument's name
  if (!oneVolume || !ReplaceFileW(to.c_str(), from.c_str(), oldDocument->Wide(),
                                  REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    const DWORD error = oneVolume ? GetLastError() : ERROR_NOT_SAME_DEVICE;
    // Another volume or a file system without ReplaceFileW: a plain move.
    // After ERROR_UNABLE_TO_MOVE_REPLACEMENT the document's name is gone and
    // the copy still has its own: the move puts it in place, so the
    // document's name is never left empty.
    const bool documentGone = !Exists(to) && Exists(from);
    movedAside = oneVolume && documentGone;
    if (!ReplaceNotAvailable(error) && !documentGone) {
      giveBack();
      ThrowWithoutName(error);
    }
    if (!MoveOver(from, to)) {
      const DWORD moveError = GetLastError();
      giveBack();
      ThrowWithoutName(moveError);
    }
  }
  // Another program may have saved the document by renaming it away and a
  // new file into its name after the caller's last look: the file moved
  // aside must be the one that was checked. If not, that program's file
  // takes the name back, the copy goes with it, and the run is told.
  if (movedAside && oldDocument && !IsFile(oldDocument->Wide(), checked)) {
    if (!MoveFileExW(oldDocument->Wide(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      ThrowWithName(target, GetLastError());
    throw TTFileWithNameException(target, TTFileError::sharingViolation, ERROR_SHARING_VIOLATION);
  }
  if (oldDocument)
    oldDocument->Replaced();
  if (const DWORD error = RestoreDocumentLook(to, document.ftCreationTime, documentAttributes);
      error != 0)
    ThrowWithName(target, error);
}

bool ExchangeFiles(const TTString & /*source*/, const TTString & /*target*/) {
  return false; // Windows cannot trade two names in one step
}

void FlushDirectoryOf(const TTString & /*path*/) {
  // The moves are made with MOVEFILE_WRITE_THROUGH; there is no folder to
  // flush on its own.
}

TTSavedDirectory::TTSavedDirectory() : descriptor(-1) {
  try {
    const TTString current = GetCurrentDir();
    path.assign(current.CStr(), static_cast<std::size_t>(current.Length()));
  } catch (const TTFileException &) {
    // Nothing saved: Restore then reports false.
  }
}

TTSavedDirectory::~TTSavedDirectory() { Restore(); }

bool TTSavedDirectory::Restore() const {
  return !path.empty() && SetCurrentDir(TTString(path.c_str()));
}

bool SetCurrentDir(const TTString &path) {
  std::wstring wide;
  return !path.IsEmpty() &&
         velkor::windows::WidePath(
             std::string_view(path.CStr(), static_cast<std::size_t>(path.Length())), wide) &&
         SetCurrentDirectoryW(wide.c_str()) != 0;
}

TTString GetCurrentDir() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n == 0)
      ThrowWithoutName(GetLastError());
    if (n < buffer.size()) {
      buffer.resize(n);
      break;
    }
    buffer.resize(n); // n is the size needed, the terminating NUL included
  }
  std::string utf8;
  if (!velkor::windows::Utf8Path(buffer, utf8))
    ThrowWithoutName(GetLastError());
  // Only a drive root ("C:\") keeps its backslash.
  if (utf8.size() > 3 && utf8.back() == '\\')
    utf8.pop_back();
  return TTString(utf8.c_str());
}

namespace {

/// Makes prefix + hexadecimal number + ".tmp" with CREATE_NEW itself, for a
/// folder whose path is too long for GetTempFileNameW. Gives the number used.
bool CreateNumberedFile(const std::wstring &folder, const std::wstring &prefix,
                        std::wstring &created) {
  const unsigned start = static_cast<unsigned>(GetTickCount()) ^ GetCurrentProcessId();
  for (unsigned attempt = 0; attempt < 0xFFFFu; ++attempt) {
    const unsigned number = ((start + attempt) % 0xFFFFu) + 1; // 1 to FFFF
    wchar_t digits[16];
    std::swprintf(digits, 16, L"%X.tmp", number);
    created = folder + L"\\" + prefix + digits;
    HANDLE file = CreateFileW(created.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
      return false;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return false;
}

} // namespace

TTString MakeTempFileName(const TTString &directory, const TTString &prefix, int *descriptor) {
  TTString base = directory;
  if (!base.IsEmpty() && base.At(base.Length() - 1) != '\\' && base.At(base.Length() - 1) != '/')
    base += '\\';
  std::wstring folder = directory.IsEmpty() ? std::wstring(L".") : WidePathOf(directory);
  while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/') &&
         folder[folder.size() - 2] != L':')
    folder.pop_back();
  std::wstring head;
  const TTString three = prefix.Left(3);
  if (!velkor::windows::Utf8ToWide(
          std::string_view(three.CStr(), static_cast<std::size_t>(three.Length())), head))
    ThrowWithoutName(GetLastError());

  // GetTempFileNameW takes folders of up to MAX_PATH - 14 characters; in a
  // longer one the file is made here the same way, under the long form.
  std::wstring created;
  wchar_t buffer[MAX_PATH];
  if (!velkor::windows::IsDevicePath(folder) && folder.size() <= MAX_PATH - 14) {
    if (GetTempFileNameW(folder.c_str(), head.c_str(), 0, buffer) == 0)
      ThrowWithoutName(GetLastError());
    created = buffer;
  } else {
    std::wstring longFolder;
    if (!velkor::windows::LongPathForm(folder, longFolder, true) ||
        !CreateNumberedFile(longFolder, head, created))
      ThrowWithoutName(GetLastError());
  }
  // The caller's folder as written, followed by the name the system chose.
  std::string chosen;
  const std::size_t slash = created.find_last_of(L"\\/");
  if (!velkor::windows::WideToUtf8(
          slash == std::wstring::npos ? created : created.substr(slash + 1), chosen))
    ThrowWithoutName(GetLastError());
  const TTString name = base + chosen.c_str();

  if (descriptor != nullptr) {
    HANDLE file = CreateFileW(created.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    const int fd = file == INVALID_HANDLE_VALUE
                       ? -1
                       : _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
    if (fd < 0) {
      if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
      DeleteFileW(created.c_str());
      ThrowWithoutName(file == INVALID_HANDLE_VALUE ? error : ERROR_TOO_MANY_OPEN_FILES);
    }
    *descriptor = fd;
  }
  return name;
}
