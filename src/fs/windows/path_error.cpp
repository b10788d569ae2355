//===- fs/windows/path_error.cpp - File error codes for Win32 errors ------===//

#include "fs/path_error.h"

#include "fs/windows/wide_name.h"

TTFileError PathErrorToFileError(const char * /*path*/, int error) {
  if (error == 0) {
    // A call that failed without saying why is still a failure.
    return TTFileError::generic;
  }
  // Windows itself tells a missing file (ERROR_FILE_NOT_FOUND) from a missing
  // folder on the way (ERROR_PATH_NOT_FOUND). A name that is not UTF-8 cannot
  // be spelled for the system at all: a bad path, as an invalid name is.
  if (static_cast<unsigned long>(error) == velkor::windows::kNoUnicodeTranslation)
    return TTFileError::badPath;
  return SystemErrorToFileError(static_cast<std::uint32_t>(error));
}
