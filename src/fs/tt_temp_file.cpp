//===- fs/tt_temp_file.cpp - Holder that removes a temporary file --------===//

#include "fs/tt_temp_file.h"

#include "core/tt_exception.h"
#include "fs/file_operations.h"

TTTempFile::TTTempFile() : armed(false) {}

TTTempFile::~TTTempFile() {
  try {
    Remove();
  } catch (const TTException &) {
    // Nothing can be reported from here; the file stays on disk.
  }
}

TTString TTTempFile::Create(const TTString &directory, const TTString &prefix) {
  Remove();
  name = MakeTempFileName(directory, prefix);
  armed = true;
  return name;
}

void TTTempFile::Remove() {
  if (!armed) {
    return;
  }
  RemoveFileIfExists(name);
  armed = false;
}
