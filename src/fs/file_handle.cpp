//===- fs/file_handle.cpp - An open file and the file opened for writing -----===//
//
// What both systems share; the system calls are in unix/ and windows/.

#include "fs/file_handle.h"

TTFile::TTFile()
    : open(false), handle(-1), shareMode(0), flagsAndAttributes(FILE_ATTRIBUTE_NORMAL) {}

TTOutputFile::TTOutputFile() : creationDisposition(CREATE_NEW) {}

void TTOutputFile::Open(const TTString &fileName) {
  TTFile::Open(fileName, GENERIC_WRITE, creationDisposition);
}
