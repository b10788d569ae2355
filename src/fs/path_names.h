//===- fs/path_names.h - Splitting and joining path names -----------------===//
///
/// \file
/// Pure functions on path text, in the form of the system the program runs
/// on. On Linux the slash is the only separator: a directory path ends with
/// a slash, and a backslash or colon is an ordinary name byte. On Windows the
/// backslash separates (a slash is accepted where paths are split), a colon
/// ends a drive ("C:"), and a directory path ends with a backslash or a
/// colon. Paths are bytes, handled byte by byte.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/lists.h"
#include "core/byte_string.h"

#ifdef _WIN32
/// The separator paths are written with.
inline constexpr char kPathSeparator = '\\';
/// True for a byte that separates path components (backslash or slash).
inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }
/// True for a byte after which a path's directory part ends.
inline bool IsPathDelimiter(char c) { return c == '\\' || c == '/' || c == ':'; }
/// True for a byte with which a directory path already ends.
inline bool IsDirectoryEnd(char c) { return c == '\\' || c == ':'; }
#else
/// The separator paths are written with.
inline constexpr char kPathSeparator = '/';
/// True for the byte that separates path components (the slash).
inline bool IsPathSeparator(char c) { return c == '/'; }
/// True for a byte after which a path's directory part ends (the slash).
inline bool IsPathDelimiter(char c) { return c == '/'; }
/// True for a byte with which a directory path already ends (the slash).
inline bool IsDirectoryEnd(char c) { return c == '/'; }
#endif

/// Splits `path` after its last delimiter: `directory` gets everything up to
/// and including it, `name` the rest. Without a delimiter the directory part
/// is empty and the name is the whole path.
void SplitPath(const TTString &path, TTString &directory, TTString &name);

/// Splits `path` at every separator into `components` (emptied first). Empty
/// components are kept: "/x/a.doc" gives "", "x", "a.doc", and "data/" gives
/// "data", "". The empty path gives no components.
void SplitPathComponents(const TTString &path, TTStringList &components);

/// Every component followed by one separator, in list order: "", "x" gives
/// "/x/" ("\x\" on Windows).
TTString JoinPathComponents(const TTStringList &components);

/// Makes a non-empty path a directory path: on Linux a slash is appended
/// unless it ends with one; on Windows every slash becomes a backslash and a
/// backslash is appended unless it ends with one or with a drive's colon.
void MakeDirectoryPath(TTString &path);

/// The directory part of `path` as a directory path; "./" (".\" on Windows)
/// for a bare name.
TTString DirectoryOf(const TTString &path);

/// The folder that holds `path`, as a name to show or open: the directory
/// part without its closing separator, except where that leaves no folder
/// ("/" on Linux; "\", "C:\" or "C:" on Windows); "." for a bare name.
TTString ContainingFolder(const TTString &path);

/// True when `path` does not lie below the current directory: it starts at
/// a root ("/"; on Windows a separator or a drive such as "C:").
bool IsRootedPath(const char *path);

/// `path` without the leading "./" components (".\" too on Windows) that
/// name the current directory: "././a/b" gives "a/b".
const char *SkipCurrentDirPrefix(const char *path);
