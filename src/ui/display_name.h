//===- ui/display_name.h - File-system bytes as readable text -------------===//
///
/// \file
/// Names and paths are kept as the bytes the file system uses; the windows
/// show them as DisplayText (desktop/display_text.h) makes them: UTF-8 with
/// control characters and bytes that are not UTF-8 written as visible
/// escapes.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <QString>

#include <string_view>

/// The bytes of a name or path as display text.
QString DisplayName(std::string_view bytes);
