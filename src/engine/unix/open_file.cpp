//===- engine/unix/open_file.cpp - futimens and fsync ---------------------===//

#include "engine/open_file.h"

#include "engine/document_identity.h"

#include <sys/stat.h>
#include <unistd.h>

bool SetOpenFileTimes(int descriptor, const DocumentIdentity &document) {
  const timespec times[2] = {document.accessed, document.modified};
  return futimens(descriptor, times) == 0;
}

bool FlushOpenFile(int descriptor) { return fsync(descriptor) == 0; }

void LetGoBeforeReplacement(TTTempFile &) {}
