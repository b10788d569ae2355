//===- engine/candidate.h - One entry yielded by the directory walk -------===//
///
/// \file
/// A TTCandidate is a directory entry's record plus `directory`, the path from
/// the walk's start directory to the directory that holds the entry: its
/// components, each followed by a slash, and empty for an entry of the start
/// directory itself. A copy copies every field, the strings as full copies.
/// The run keeps the candidates of a base entry in a TTCandidateList
/// (candidate_list.h), which stores only what the compaction reads.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"
#include "fs/find_handle.h"

class TTCandidate : public TTFindRecord {
public:
  TTString directory;

  /// The entry's path relative to the walk's start: directory, then name.
  TTString FullName() const { return directory + name; }
};
