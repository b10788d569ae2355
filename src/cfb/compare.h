//===- cfb/compare.h - Do two compound files hold the same tree? ----------===//
///
/// \file
/// Compares two opened compound files entry by entry: names (raw UTF-16),
/// kinds, class ids, state bits, both times and every stream's bytes; for the
/// root its class id, state bits and times (not its name, which copies
/// always write as "Root Entry"). Reports the first difference in a fixed
/// walk order (pre-order, children in the format's name order).
///
//===----------------------------------------------------------------------===//
#pragma once

#include "cfb/compound_file.h"

#include <functional>
#include <optional>
#include <string>

namespace cfb {

/// The first place where two trees differ.
struct Difference {
  std::string path;   ///< the entry's path ("/" for the root), UTF-8
  std::string detail; ///< what differs, e.g. "stream bytes differ at offset 4096"
};

/// Nothing when `a` and `b` hold the same tree, otherwise the first difference.
/// Throws as `Source::ReadStream` does when stream data cannot be read.
/// `checkpoint`, when given, is called after every megabyte compared; an
/// exception it throws ends the comparison and reaches the caller.
std::optional<Difference> CompareTrees(const Source &a, const Source &b,
                                       const std::function<void()> &checkpoint = {});

/// Opens both files (see `Source::Open`) and compares them.
std::optional<Difference> CompareFiles(const std::string &pathA, const std::string &pathB);

} // namespace cfb
