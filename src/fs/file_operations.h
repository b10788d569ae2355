//===- fs/file_operations.h - Operations on named files and directories --===//
///
/// \file
/// Thin rules over one or two system calls each, with a fixed way of
/// reporting failure: attributes, deletion, renaming, the replacing move that
/// puts a compacted copy in place of a document, the current directory and
/// temporary file names. Failures on a named file raise
/// TTFileWithNameException with that name; renaming, the current directory
/// and temporary names raise TTFileException without one.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct TTFindRecord;

/// What a file keeps besides its content and times, and what a replacing
/// copy must be given so that nothing changes for its users: the permission
/// bits (setuid, setgid and sticky included), the owner, the group and the
/// extended attributes (POSIX ACLs are the system.posix_acl_* ones; user.*
/// attributes such as a Samba server's DOS attributes). On Windows it is the
/// file attribute bits (read-only, hidden, system, archive, not content
/// indexed, ...); the security descriptor and named streams travel with the
/// replacement itself (MoveFileReplacing).
struct TTFileAttributes {
  std::uint32_t mode = 0; ///< permission bits, 07777 at most
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  /// Name and value of each extended attribute; values are binary.
  std::vector<std::pair<std::string, std::string>> extended;
  /// Windows: the file attribute bits that SetFileAttributesW sets. Linux
  /// leaves it 0 and does not look at it.
  std::uint32_t fileAttributes = 0;
};

/// The extended attribute that marks a file as a temporary copy of ours
/// (see temp_file.h). It belongs to the copy alone: ReadAttributes leaves it
/// out, and SetAttributes removes it and never sets it, so a document never
/// carries it on, not even a document that carries it itself. On Windows the
/// mark is the named stream of that name (`file:velkor.copy`), with the same
/// rules.
inline constexpr char kCopyMarkAttribute[] = "user.velkor.copy";
/// The named stream that marks a copy on Windows.
inline constexpr char kCopyMarkStream[] = "velkor.copy";

/// Reads the attributes of `path` (not following a final symbolic link),
/// all but kCopyMarkAttribute. Throws TTFileWithNameException.
TTFileAttributes ReadAttributes(const TTString &path);

/// Gives `path` the permission bits, owner and group, and exactly the
/// extended attributes of `attributes` (but kCopyMarkAttribute, which is
/// removed whatever `attributes` say): attributes it has beyond them are
/// removed, and ones that already hold the wanted value are not written
/// again. The owner and group are set first, since changing them clears the
/// setuid and setgid bits. Throws TTFileWithNameException at the first part
/// that cannot be given (for example a chown without the privilege, or an
/// ACL on a file system without them).
void SetAttributes(const TTString &path, const TTFileAttributes &attributes);

/// Gives `path` the permission bits, owner and group of a directory entry's
/// record; its extended attributes are left as they are. On Windows: the
/// record's file attribute bits.
void SetAttributes(const TTString &path, const TTFindRecord &record);

/// Deletes the file `path` (unlink; DeleteFileW). Throws
/// TTFileWithNameException.
void RemoveFile(const TTString &path);

/// Deletes `path` when it exists. A missing file is no error; a path whose
/// directory is missing raises `badPath`, and any other failure raises the
/// exception of the step that failed. On Linux a file's own permission bits
/// do not stop its deletion, so where the original cleared a read-only
/// attribute first, this looks the entry up (which also tells whether it
/// exists) and changes nothing about it. On Windows the read-only attribute
/// is cleared first, and given back when the deletion then fails.
void RemoveFileIfExists(const TTString &path);

/// Renames `source` to `target`, failing when the target exists
/// (renameat2 RENAME_NOREPLACE; MoveFileExW without replacing). Throws
/// TTFileException without a name.
void RenameFile(const TTString &source, const TTString &target);

/// Puts `source` in place of `target` in one atomic step: the source is
/// flushed to the device, renamed over the target with rename(2), and the
/// target's directory is flushed. The target's name never stops existing,
/// and when the rename fails the target is unchanged. A missing target is
/// simply the destination of the rename. Throws TTFileWithNameException when
/// a flush fails (with the name of what was flushed) and TTFileException when
/// the rename fails.
///
/// On Windows: ReplaceFileW with full paths, which keeps the document's
/// security descriptor, named streams, attributes and creation time. Where
/// it cannot be used (a missing target, another volume, a file system
/// without it), the source is flushed and moved over the target with
/// MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH). Either
/// way the result is given the target's attribute bits and creation time
/// again (a read-only target is replaced too), and the copy's mark is taken
/// off first. The source must not be held open (TTTempFile::Close).
void MoveFileReplacing(const TTString &source, const TTString &target);

/// Like MoveFileReplacing, but nothing is removed: `source` and `target`
/// trade places in one atomic step (renameat2 RENAME_EXCHANGE), so that the
/// target's file is then found under the source's name. Nothing is flushed:
/// the caller flushes the source before (so that the exchange itself is the
/// only step between its last look at the target and the trade) and the
/// directory after it with FlushDirectoryOf. Gives false, with nothing
/// changed, when the file system cannot exchange two names; throws
/// TTFileException when the exchange fails otherwise. Windows has no atomic
/// exchange of two names: there it always gives false.
bool ExchangeFiles(const TTString &source, const TTString &target);

/// Flushes the directory that holds `path` to the device, so that a rename
/// in it lasts. A file system that cannot flush a directory is no error.
/// Throws TTFileWithNameException with the directory's name. On Windows it
/// does nothing: the renames there are made with MOVEFILE_WRITE_THROUGH.
void FlushDirectoryOf(const TTString &path);

/// Opens `path` (relative to the directory descriptor `directory`, or to the
/// current directory with AT_FDCWD) with `flags`, following no symbolic link
/// in any of its components, the last one included: openat2 with
/// RESOLVE_NO_SYMLINKS, or on a kernel without it one component at a time
/// with O_NOFOLLOW. O_CLOEXEC is always added. Gives the descriptor, or -1
/// with errno set (ELOOP for a link on the way). Linux only, like the next
/// one: the Windows build has its own way past reparse points and calls
/// neither.
int OpenWithoutLinks(int directory, const char *path, int flags);

/// The way OpenWithoutLinks takes where openat2 is missing: every folder on
/// the way is opened with O_NOFOLLOW, the last component with `flags`
/// (O_NOFOLLOW and O_CLOEXEC added). Declared here so that both ways are
/// tested alike.
int OpenComponentwise(int directory, const char *path, int flags);

/// The current directory held open, so that a run can come back to it with
/// fchdir even when it has been deleted or renamed since, or its path can no
/// longer be spelled. Restores it when destroyed; whether that works is not
/// examined, as nothing is left to do about it then. Windows cannot hold a
/// directory open as the current one: there the path is saved.
class TTSavedDirectory {
public:
  TTSavedDirectory();
  TTSavedDirectory(const TTSavedDirectory &) = delete;
  TTSavedDirectory &operator=(const TTSavedDirectory &) = delete;
  ~TTSavedDirectory();

  /// Makes the saved directory current again; true when that worked.
  bool Restore() const;

private:
  int descriptor;   ///< Linux: the directory, open
  std::string path; ///< Windows: its path, UTF-8
};

/// Makes `path` the process's current directory; true when that worked.
/// Never raises.
bool SetCurrentDir(const TTString &path);

/// The process's current directory, without a trailing slash except for
/// the root "/" (on Windows: a drive root such as C:\ keeps it). Throws
/// TTFileException.
TTString GetCurrentDir();

/// Creates a new, empty file in `directory` (empty for the current
/// directory; a missing trailing slash is supplied) named after the first
/// three bytes of `prefix`, up to four hexadecimal digits and ".tmp", such as
/// vkr3A7.tmp, and gives its full name. The file is created with O_EXCL, so
/// it did not exist before and two calls never give one name. Throws
/// TTFileException: `badPath` for a missing directory, `fileExists` when all
/// 65,535 numbers are taken. With `descriptor`, the new file is left open
/// for reading and writing there (the caller closes it), so that the caller
/// holds the very file it made without opening its name again.
///
/// On Windows GetTempFileNameW makes the file, and the digits are the
/// system's: upper case on Windows, lower case under Wine. With
/// `descriptor` the file is then opened with no sharing, as a live writer's
/// file that no sweep can open.
TTString MakeTempFileName(const TTString &directory, const TTString &prefix,
                          int *descriptor = nullptr);
