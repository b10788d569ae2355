//===- fs/find_handle.cpp - Directory search, one entry at a time ------===//
//
// What every system shares; the search itself is in src/fs/unix and
// src/fs/windows.
//
//===----------------------------------------------------------------------===//

#include "fs/find_handle.h"

bool TTFindHandle::FindFirst(const TTString &pattern, TTFindRecord &record) {
  return Start(pattern, record, true);
}

bool TTFindHandle::FindFirstEntry(const TTString &pattern, TTFindRecord &record) {
  return Start(pattern, record, false);
}

bool TTFindHandle::FindNext(TTFindRecord &record) { return ReadEntry(record, true); }

bool TTFindHandle::FindNextEntry(TTFindRecord &record) { return ReadEntry(record, false); }

bool FindOne(const TTString &path, TTFindRecord &record) {
  TTFindHandle search;
  return search.FindFirst(path, record);
}
