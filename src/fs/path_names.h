//===- fs/path_names.h - Splitting and joining path names -----------------===//
///
/// \file
/// Pure functions on path text. The slash is the only separator: a directory
/// path ends with a slash, and a backslash or colon is an ordinary name byte.
/// Paths are bytes, handled byte by byte.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/lists.h"
#include "core/byte_string.h"

/// True for the byte that separates path components (the slash).
inline bool IsPathSeparator(char c) { return c == '/'; }
/// True for a byte after which a path's directory part ends (the slash).
inline bool IsPathDelimiter(char c) { return c == '/'; }
/// True for a byte with which a directory path already ends (the slash).
inline bool IsDirectoryEnd(char c) { return c == '/'; }

/// Splits `path` after its last delimiter: `directory` gets everything up to
/// and including it, `name` the rest. Without a delimiter the directory part
/// is empty and the name is the whole path.
void SplitPath(const TTString &path, TTString &directory, TTString &name);

/// Splits `path` at every separator into `components` (emptied first). Empty
/// components are kept: "/x/a.doc" gives "", "x", "a.doc", and "data/" gives
/// "data", "". The empty path gives no components.
void SplitPathComponents(const TTString &path, TTStringList &components);

/// Every component followed by one slash, in list order: "", "x" gives "/x/".
TTString JoinPathComponents(const TTStringList &components);

/// Appends a slash to a non-empty path that does not end with one.
void MakeDirectoryPath(TTString &path);

/// The directory part of `path` as a directory path; "./" for a bare name.
TTString DirectoryOf(const TTString &path);
