//===- core/exceptions.cpp - Exception classes and file error codes -----===//

#include "core/exceptions.h"

#include <cerrno>
#include <cstring>

const char *const kFileErrorTexts[kFileErrorCount] = {
    "none",
    "call not implemented",
    "generic",
    "file not found",
    "bad path",
    "too many open files",
    "access denied",
    "invalid file",
    "remove current dir",
    "directory full",
    "bad seek",
    "hard IO",
    "sharing violation",
    "lock violation",
    "disk full",
    "end of file",
    "write fault",
    "read fault",
    "file exists",
    "Cannot create a file when that file already exists",
};

const char *FileErrorText(TTFileError code) {
  auto index = static_cast<std::int32_t>(code);
  if (index < 0 || index >= kFileErrorCount)
    index = static_cast<std::int32_t>(TTFileError::generic);
  return kFileErrorTexts[index];
}

// The virtual destructors are defined here so each class has one home for
// its type information.
TTException::~TTException() = default;
TTFileException::~TTFileException() = default;
TTFileWithNameException::~TTFileWithNameException() = default;

namespace {

char *CopyText(const char *text) {
  if (text == nullptr)
    text = "";
  std::size_t n = std::strlen(text);
  char *copy = new char[n + 1];
  std::memcpy(copy, text, n + 1);
  return copy;
}

} // namespace

TTExceptionMessage::TTExceptionMessage(const char *text) : message(CopyText(text)) {}

TTExceptionMessage::TTExceptionMessage(const TTExceptionMessage &other)
    : TTException(other), message(CopyText(other.message)) {}

TTExceptionMessage &TTExceptionMessage::operator=(const TTExceptionMessage &other) {
  if (this != &other) {
    char *copy = CopyText(other.message);
    delete[] message;
    message = copy;
  }
  return *this;
}

TTExceptionMessage::~TTExceptionMessage() { delete[] message; }

TTFileError SystemErrorToFileError(std::uint32_t systemError) {
  switch (systemError) {
  case 0:
    return TTFileError::none;
  case 120: // ERROR_CALL_NOT_IMPLEMENTED
    return TTFileError::callNotImplemented;
  case 2:   // ERROR_FILE_NOT_FOUND
  case 6:   // ERROR_INVALID_HANDLE
  case 18:  // ERROR_NO_MORE_FILES
  case 107: // ERROR_DISK_CHANGE
    return TTFileError::fileNotFound;
  case 3:   // ERROR_PATH_NOT_FOUND
  case 15:  // ERROR_INVALID_DRIVE
  case 17:  // ERROR_NOT_SAME_DEVICE
  case 34:  // ERROR_WRONG_DISK
  case 52:  // ERROR_DUP_NAME
  case 53:  // ERROR_BAD_NETPATH
  case 55:  // ERROR_DEV_NOT_EXIST
  case 67:  // ERROR_BAD_NET_NAME
  case 70:  // ERROR_SHARING_PAUSED
  case 85:  // ERROR_ALREADY_ASSIGNED
  case 111: // ERROR_BUFFER_OVERFLOW
  case 123: // ERROR_INVALID_NAME
  case 124: // ERROR_INVALID_LEVEL
  case 125: // ERROR_NO_VOLUME_LABEL
  case 144: // ERROR_DIR_NOT_ROOT
  case 154: // ERROR_LABEL_TOO_LONG
  case 161: // ERROR_BAD_PATHNAME
  case 206: // ERROR_FILENAME_EXCED_RANGE
  case 208: // ERROR_META_EXPANSION_TOO_LONG
  case 267: // ERROR_DIRECTORY
    return TTFileError::badPath;
  case 4:   // ERROR_TOO_MANY_OPEN_FILES
  case 36:  // ERROR_SHARING_BUFFER_EXCEEDED
  case 68:  // ERROR_TOO_MANY_NAMES
  case 113: // ERROR_NO_MORE_SEARCH_HANDLES
    return TTFileError::tooManyOpenFiles;
  case 5:   // ERROR_ACCESS_DENIED
  case 12:  // ERROR_INVALID_ACCESS
  case 19:  // ERROR_WRITE_PROTECT
  case 54:  // ERROR_NETWORK_BUSY
  case 58:  // ERROR_BAD_NET_RESP
  case 64:  // ERROR_NETNAME_DELETED
  case 65:  // ERROR_NETWORK_ACCESS_DENIED
  case 71:  // ERROR_REQ_NOT_ACCEP
  case 82:  // ERROR_CANNOT_MAKE
  case 86:  // ERROR_INVALID_PASSWORD
  case 170: // ERROR_BUSY
  case 999: // ERROR_SWAPERROR
    return TTFileError::accessDenied;
  case 11:  // ERROR_BAD_FORMAT
  case 26:  // ERROR_NOT_DOS_DISK
  case 60:  // ERROR_BAD_REM_ADAP
  case 66:  // ERROR_BAD_DEV_TYPE
  case 114: // ERROR_INVALID_TARGET_HANDLE
  case 182: // ERROR_INVALID_ORDINAL
  case 191: // ERROR_INVALID_EXE_SIGNATURE
  case 193: // ERROR_BAD_EXE_FORMAT
    return TTFileError::invalidFile;
  case 16:  // ERROR_CURRENT_DIRECTORY
  case 145: // ERROR_DIR_NOT_EMPTY
    return TTFileError::removeCurrentDir;
  case 62: // ERROR_NO_SPOOL_SPACE
    return TTFileError::directoryFull;
  case 24:  // ERROR_BAD_LENGTH
  case 25:  // ERROR_SEEK
  case 27:  // ERROR_SECTOR_NOT_FOUND
  case 131: // ERROR_NEGATIVE_SEEK
  case 132: // ERROR_SEEK_ON_DEVICE
    return TTFileError::badSeek;
  case 20:  // ERROR_BAD_UNIT
  case 21:  // ERROR_NOT_READY
  case 22:  // ERROR_BAD_COMMAND
  case 23:  // ERROR_CRC
  case 57:  // ERROR_ADAP_HDW_ERR
  case 59:  // ERROR_UNEXP_NET_ERR
  case 88:  // ERROR_NET_WRITE_FAULT
  case 117: // ERROR_INVALID_CATEGORY
  case 995: // ERROR_OPERATION_ABORTED
  case 996: // ERROR_IO_INCOMPLETE
  case 997: // ERROR_IO_PENDING
    return TTFileError::hardIO;
  case 32: // ERROR_SHARING_VIOLATION
    return TTFileError::sharingViolation;
  case 33:  // ERROR_LOCK_VIOLATION
  case 108: // ERROR_DRIVE_LOCKED
  case 167: // ERROR_LOCK_FAILED
    return TTFileError::lockViolation;
  case 39:  // ERROR_HANDLE_DISK_FULL
  case 112: // ERROR_DISK_FULL
    return TTFileError::diskFull;
  case 38: // ERROR_HANDLE_EOF
    return TTFileError::endOfFile;
  case 29: // ERROR_WRITE_FAULT
    return TTFileError::writeFault;
  case 30: // ERROR_READ_FAULT
    return TTFileError::readFault;
  case 80: // ERROR_FILE_EXISTS
    return TTFileError::fileExists;
  case 183: // ERROR_ALREADY_EXISTS
    return TTFileError::alreadyExists;
  default:
    return TTFileError::generic;
  }
}

TTFileError ErrnoToFileError(int error) {
  switch (error) {
  case 0:
    return TTFileError::none;
  case ENOENT:
    return TTFileError::fileNotFound;
  case ENOTDIR:
  case ENAMETOOLONG:
  case ELOOP:
    return TTFileError::badPath;
  case EACCES:
  case EPERM:
  case EROFS:
    return TTFileError::accessDenied;
  case EMFILE:
  case ENFILE:
    return TTFileError::tooManyOpenFiles;
  case ENOSPC:
#ifdef EDQUOT // Windows' C runtime has no quotas
  case EDQUOT:
#endif
    return TTFileError::diskFull;
  case EEXIST:
    return TTFileError::fileExists;
  case EIO:
    return TTFileError::hardIO;
  case EBUSY:
  case ETXTBSY:
    return TTFileError::sharingViolation;
  // A lock held by another opener. EWOULDBLOCK is EAGAIN on Linux, but a
  // value of its own in Windows' C runtime.
  case EAGAIN:
#if EWOULDBLOCK != EAGAIN
  case EWOULDBLOCK:
#endif
    return TTFileError::lockViolation;
  case ENOTEMPTY:
    return TTFileError::removeCurrentDir;
  case ESPIPE:
    return TTFileError::badSeek;
  default:
    return TTFileError::generic;
  }
}

void ThrowFileException(TTFileError code, std::uint32_t systemError) {
  throw TTFileException(code, systemError);
}

void ThrowIfSystemError(int error) {
  if (error == 0)
    return;
  throw TTFileException(ErrnoToFileError(error), static_cast<std::uint32_t>(error));
}

void ThrowIfSystemErrorWithName(const TTString &fileName, int error) {
  if (error == 0)
    return;
  throw TTFileWithNameException(fileName, ErrnoToFileError(error),
                                static_cast<std::uint32_t>(error));
}

// On success errno keeps whatever it held before, so a failed call that set
// nothing would read as 0 here; it is still reported, as `generic`.
void ThrowLastError() {
  int error = errno; // read before anything else can change it
  TTFileError code = error == 0 ? TTFileError::generic : ErrnoToFileError(error);
  throw TTFileException(code, static_cast<std::uint32_t>(error));
}

void ThrowLastErrorWithName(const TTString &fileName) {
  int error = errno;
  TTFileError code = error == 0 ? TTFileError::generic : ErrnoToFileError(error);
  throw TTFileWithNameException(fileName, code, static_cast<std::uint32_t>(error));
}
