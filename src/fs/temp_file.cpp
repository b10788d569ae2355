//===- fs/temp_file.cpp - Holder that removes a temporary file --------===//
//
// What both systems share; making, marking, locking and sweeping are in
// unix/ and windows/.

#include "fs/temp_file.h"

#include "core/exceptions.h"
#include "fs/file_operations.h"

TTTempFile::TTTempFile() : armed(false), descriptor(-1) {}

TTTempFile::~TTTempFile() {
  try {
    Remove();
  } catch (const TTException &) {
    // Nothing can be reported from here; the file stays on disk.
  }
}

void TTTempFile::Release() {
  armed = false;
  Unlock();
}

void TTTempFile::Close() { Unlock(); }
