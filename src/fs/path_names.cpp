//===- fs/path_names.cpp - Splitting and joining path names ---------------===//

#include "fs/path_names.h"

void SplitPath(const TTString &path, TTString &directory, TTString &name) {
  std::int32_t end = path.Length();
  while (end > 0 && !IsPathDelimiter(path.At(end - 1)))
    --end;
  // Build both parts before assigning, so `path` may be one of the outputs.
  TTString directoryPart = path.Left(end);
  TTString namePart = path.Mid(end);
  directory = directoryPart;
  name = namePart;
}

void SplitPathComponents(const TTString &path, TTStringList &components) {
  // Copied first: `path` may be one of the strings the list is about to drop.
  TTString source(path);
  components.Clear();
  if (source.IsEmpty())
    return;
  TTString current;
  for (const char *p = source.CStr(); *p != 0; ++p) {
    if (IsPathSeparator(*p)) {
      components.AddCopy(current);
      current.Clear();
    } else {
      current += *p;
    }
  }
  components.AddCopy(current);
}

TTString JoinPathComponents(const TTStringList &components) {
  TTString joined;
  for (const TTString &component : components) {
    joined += component;
    joined += kPathSeparator;
  }
  return joined;
}

void MakeDirectoryPath(TTString &path) {
  if (kPathSeparator != '/')
    path.Replace('/', kPathSeparator);
  if (!path.IsEmpty() && !IsDirectoryEnd(path.At(path.Length() - 1)))
    path += kPathSeparator;
}

TTString DirectoryOf(const TTString &path) {
  TTString directory;
  TTString name;
  SplitPath(path, directory, name);
  if (directory.IsEmpty())
    directory = TTCurrentDirName();
  MakeDirectoryPath(directory);
  return directory;
}

TTString ContainingFolder(const TTString &path) {
  TTString directory;
  TTString name;
  SplitPath(path, directory, name);
  if (directory.IsEmpty())
    return TTCurrentDirName();
  const std::int32_t length = directory.Length();
  if (!IsPathSeparator(directory.At(length - 1)))
    return directory; // "C:" alone: the drive's current folder
  // A root keeps its separator: "/", "\" or "C:\".
  const bool root = length == 1 || (length == 3 && directory.At(1) == ':' && kPathSeparator != '/');
  return root ? directory : directory.Left(length - 1);
}

bool IsRootedPath(const char *path) {
  if (IsPathSeparator(path[0]))
    return true;
  return kPathSeparator != '/' && path[0] != '\0' && path[1] == ':';
}

const char *SkipCurrentDirPrefix(const char *path) {
  while (path[0] == '.' && path[1] != '\0' && IsPathSeparator(path[1]))
    path += 2;
  return path;
}
