//===- engine/run_statistics.cpp - The run's counters and their texts -----===//

#include "engine/run_statistics.h"

#include "engine/progress_view.h"

#include <cinttypes>
#include <cstdio>
#include <limits>

void RefreshCounters(const RunStatistics &statistics, ProgressView &view) {
  // The bytes reduced cannot go below zero: every document in the sums shrank.
  std::uint64_t reduced = statistics.bytesBefore >= statistics.bytesAfter
                              ? statistics.bytesBefore - statistics.bytesAfter
                              : 0;
  view.SetCounterText(CounterField::totalFiles,
                      FormatCount(statistics.totalFiles).CStr());
  view.SetCounterText(CounterField::documentFiles,
                      FormatCount(statistics.documentFiles).CStr());
  view.SetCounterText(CounterField::compressedFiles,
                      FormatCount(statistics.compressedFiles).CStr());
  view.SetCounterText(CounterField::bytesBefore,
                      FormatByteCount(statistics.bytesBefore).CStr());
  view.SetCounterText(CounterField::bytesAfter,
                      FormatByteCount(statistics.bytesAfter).CStr());
  view.SetCounterText(CounterField::bytesReduced,
                      FormatByteCount(reduced).CStr());
  view.SetCounterText(
      CounterField::ratio,
      FormatRatio(statistics.bytesAfter, statistics.bytesBefore).CStr());
}

TTString FormatCount(std::int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%" PRId32, value);
  return TTString(text);
}

TTString FormatByteCount(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%" PRIu64, value);
  return TTString(text);
}

std::uint64_t ScaledRatio(std::uint64_t a, std::uint64_t b,
                          std::uint64_t scale) {
  if (b == 0)
    return scale;
  // 128 bits hold any product of two 64-bit values.
  unsigned __int128 quotient =
      static_cast<unsigned __int128>(a) * scale / b;
  if (quotient > std::numeric_limits<std::uint64_t>::max())
    return std::numeric_limits<std::uint64_t>::max();
  return static_cast<std::uint64_t>(quotient);
}

TTString FormatRatio(std::uint64_t after, std::uint64_t before) {
  std::uint64_t tenths = ScaledRatio(after, before, 1000);
  char text[32];
  std::snprintf(text, sizeof text, "%3" PRIu64 ".%1" PRIu64 "%%", tenths / 10,
                tenths % 10);
  return TTString(text);
}
