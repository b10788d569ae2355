//===- core/exceptions.h - Exception classes and file error codes -------===//
///
/// \file
/// The core classes and the file-system layer report every failure by
/// throwing. Four kinds of value are thrown:
///   - the TTException classes below (thrown by value, caught by reference);
///   - a pointer to a constant text, for list misuse (see lists.h);
///   - in a few places a bare 32-bit integer code (see TTIntegerCode);
///   - the user interface's silent abort.
/// A handler reads the fields of an exception; no exception describes itself
/// and no message for the user is ever built from one.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"

#include <cstdint>

/// File error codes. Each has one fixed text (FileErrorText); the numbers are
/// part of the interface and never change.
enum class TTFileError : std::int32_t {
  none = 0,
  callNotImplemented = 1,
  generic = 2,
  fileNotFound = 3,
  badPath = 4,
  tooManyOpenFiles = 5,
  accessDenied = 6,
  invalidFile = 7,
  removeCurrentDir = 8,
  directoryFull = 9,
  badSeek = 10,
  hardIO = 11,
  sharingViolation = 12,
  lockViolation = 13,
  diskFull = 14,
  endOfFile = 15,
  writeFault = 16,
  readFault = 17,
  fileExists = 18,
  alreadyExists = 19,
};

/// Number of file error codes (0 to 19).
inline constexpr int kFileErrorCount = 20;

/// The readable names of the file error codes, indexed by the code.
extern const char *const kFileErrorTexts[kFileErrorCount];

/// The fixed text of a file error code; a value outside 0 to 19 gives the
/// text of `generic`.
const char *FileErrorText(TTFileError code);

/// The integer codes thrown bare for internal consistency failures.
namespace TTIntegerCode {
/// A byte string did not convert to the same number of wide characters.
inline constexpr std::int32_t wideConversion = 20255;
/// The directory walk left a directory above the root of its mask tree.
inline constexpr std::int32_t walkAboveRoot = 98112723;
/// The drive list grew between sizing it and reading it.
inline constexpr std::int32_t driveListGrew = 111708;
/// The last drive name of the drive list is not terminated.
inline constexpr std::int32_t driveListUnterminated = 111711;
} // namespace TTIntegerCode

/// The empty root of the exception classes.
class TTException {
public:
  TTException() = default;
  TTException(const TTException &) = default;
  TTException &operator=(const TTException &) = default;
  virtual ~TTException();
};

/// A failed system call: a file error code and the platform error number
/// (errno) that caused it.
class TTFileException : public TTException {
public:
  TTFileException(TTFileError code, std::uint32_t systemError)
      : code(code), systemError(systemError) {}
  TTFileException(const TTFileException &) = default;
  TTFileException &operator=(const TTFileException &) = default;
  ~TTFileException() override;

  TTFileError code;
  std::uint32_t systemError;
};

/// A failed system call on a named file: also carries a copy of the path the
/// operation was given.
class TTFileWithNameException : public TTFileException {
public:
  TTFileWithNameException(const TTString &fileName, TTFileError code, std::uint32_t systemError)
      : TTFileException(code, systemError), fileName(fileName) {}
  TTFileWithNameException(const TTFileWithNameException &) = default;
  TTFileWithNameException &operator=(const TTFileWithNameException &) = default;
  ~TTFileWithNameException() override;

  TTString fileName;
};

/// Misuse of a core class, with a fixed text ("String: Index Error", ...).
/// Owns a heap copy of its text; a copy of the exception owns another.
class TTExceptionMessage : public virtual TTException {
public:
  explicit TTExceptionMessage(const char *text);
  TTExceptionMessage(const TTExceptionMessage &other);
  TTExceptionMessage &operator=(const TTExceptionMessage &other);
  ~TTExceptionMessage() override;

  /// The text, NUL-terminated; never null.
  const char *Message() const { return message; }

private:
  char *message;
};

/// Maps a Windows error number onto a file error code (the historical table,
/// kept for numbers that come from Windows-made data). Unlisted numbers give
/// `generic`.
TTFileError SystemErrorToFileError(std::uint32_t systemError);

/// Maps an errno value onto a file error code. Unlisted values give
/// `generic`; 0 gives `none`.
TTFileError ErrnoToFileError(int error);

/// Always throws TTFileException with the two values.
[[noreturn]] void ThrowFileException(TTFileError code, std::uint32_t systemError);

/// Returns when `error` (an errno value) is 0; otherwise throws
/// TTFileException with ErrnoToFileError of it and the number itself.
void ThrowIfSystemError(int error);

/// Returns when `error` (an errno value) is 0; otherwise throws
/// TTFileWithNameException with a copy of `fileName`.
void ThrowIfSystemErrorWithName(const TTString &fileName, int error);

/// Throws for the calling thread's errno, right after a system call reported
/// failure. A failure that left errno at 0 is still a failure: it throws
/// `generic` with system error 0 rather than going on as if it had worked.
[[noreturn]] void ThrowLastError();

/// As ThrowLastError, with the name of the file the failed call was given.
[[noreturn]] void ThrowLastErrorWithName(const TTString &fileName);
