//===- fs/path_error.cpp - Raising file exceptions for failed path calls --===//
//
// What both systems share; PathErrorToFileError is in unix/ and windows/.

#include "fs/path_error.h"

void ThrowPathErrorWithName(const TTString &path, int error) {
  throw TTFileWithNameException(path, PathErrorToFileError(path.CStr(), error),
                                static_cast<std::uint32_t>(error));
}

void ThrowPathError(const char *path, int error) {
  ThrowFileException(PathErrorToFileError(path, error), static_cast<std::uint32_t>(error));
}
