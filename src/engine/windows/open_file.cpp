//===- engine/windows/open_file.cpp - SetFileTime and FlushFileBuffers ----===//

#include "engine/open_file.h"

#include "engine/document_identity.h"
#include "fs/file_time.h"
#include "fs/temp_file.h"

#include <io.h>

// After the project's headers: <windows.h> defines macros they may name.
#include <windows.h>

namespace {

HANDLE HandleOf(int descriptor) { return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)); }

FILETIME FileTimeOf(const timespec &time) {
  const TTFileTime value = TimespecToFileTime(time);
  return FILETIME{value.lowPart, value.highPart};
}

} // namespace

bool SetOpenFileTimes(int descriptor, const DocumentIdentity &document) {
  const FILETIME created = FileTimeOf(document.created);
  const FILETIME accessed = FileTimeOf(document.accessed);
  const FILETIME modified = FileTimeOf(document.modified);
  return SetFileTime(HandleOf(descriptor), &created, &accessed, &modified) != 0;
}

bool FlushOpenFile(int descriptor) { return FlushFileBuffers(HandleOf(descriptor)) != 0; }

void LetGoBeforeReplacement(TTTempFile &temporary) { temporary.Close(); }
