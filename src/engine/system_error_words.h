//===- engine/system_error_words.h - The system's words for an error ------===//
///
/// \file
/// A file-system exception carries the system's error number: an errno value
/// on Linux, a GetLastError value on Windows. Each system describes its own
/// numbers (src/engine/unix, src/engine/windows).
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>

/// The system's own words for `systemError`, the number a TTFileException
/// carries, without a closing full stop or line break.
std::string FileSystemErrorWords(std::uint32_t systemError);
