//===- fs/windows/copy_mark.h - The named stream that marks our copies ----===//
///
/// \file
/// On Windows a temporary copy is marked by the named stream kCopyMarkStream
/// beside its data (see temp_file.h). The file operations and the temporary
/// copies name it and take it off alike.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <string>

/// The name of `file`'s mark stream: "file:velkor.copy".
std::wstring MarkStreamOf(const std::wstring &file);

/// Takes the copy's mark off `file`. A file without one is no error. Under
/// Wine on a Linux file system the stream is a file of its own beside the
/// copy, and goes the same way. Gives 0 or the Windows error number.
unsigned long RemoveMark(const std::wstring &file);
