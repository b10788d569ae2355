//===- fuzz/round_trip.h - Open, walk, copy, re-open, compare one input ----===//
///
/// \file
/// The property every input must keep, shared by the libFuzzer target and
/// the test that replays saved inputs: the reader either refuses the bytes
/// with a cfb error, or it accepts them, and then every stream reads to its
/// full size, a copy has exactly the planned size, the copy re-opens, holds
/// the same tree and bytes, and copying the copy gives identical bytes.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velkor::fuzz {

struct RoundTripResult {
  bool accepted = false; ///< the reader opened the input
  std::string problem;   ///< empty when the property holds, else what broke
};

/// Runs the round trip over `data`, using files in `scratchDirectory` (which
/// must exist; the files are overwritten on every call).
RoundTripResult RoundTrip(const std::uint8_t *data, std::size_t size,
                          const std::string &scratchDirectory);

} // namespace velkor::fuzz
