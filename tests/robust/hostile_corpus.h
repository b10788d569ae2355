//===- tests/robust/hostile_corpus.h - Malformed compound files, generated -===//
///
/// \file
/// Builds a corpus of hostile compound files from valid ones: every header
/// field set to values out of range, every FAT, mini FAT, DIFAT and
/// directory link bent into loops, cross-links and pointers past the end of
/// the file, sizes that overflow, files cut short at every structure
/// boundary, directories that claim millions of entries, and a few files
/// that are valid but extreme (a huge flat directory, deep nesting, a sparse
/// file). Each case says which refusals are sensible for it and whether
/// acceptance is allowed, so that a test can tell a clean refusal from a
/// confused one.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "cfb/error.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace velkor::test {

/// One generated file and what a sound reader may do with it.
struct HostileCase {
  std::string name; ///< unique, printable: "v3/header/FAT count=0xFFFFFFFF"
  std::vector<std::uint8_t> bytes;
  /// Reasons for refusal that make sense for this damage. Empty: any reason.
  std::set<cfb::Reason> reasons;
  bool mayAccept = false;  ///< the damage may leave a file that is still valid
  bool mustAccept = false; ///< valid but extreme: refusing it is a fault
  /// When non-zero, the file is extended with a hole to this size (sparse).
  std::uint64_t sparseSize = 0;
};

using CaseSink = std::function<void(HostileCase &&)>;

/// Which part of the corpus to make.
enum class Size {
  Small, ///< thousands of files of a few kilobytes
  Large, ///< a few files of megabytes (huge directories, a sparse file)
};

/// Hands every case of one part of the corpus to `sink`, one at a time, in
/// a fixed order (the corpus is deterministic).
void MakeHostileCorpus(const CaseSink &sink, Size size);

/// The valid base files the corpus is made from, by name.
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> MakeBaseFiles();

} // namespace velkor::test
