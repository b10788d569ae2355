//===- engine/run_statistics.cpp - The run's counters and their texts -----===//

#include "engine/run_statistics.h"

#include "engine/progress_view.h"

#include <cinttypes>
#include <cstdio>
#include <limits>

void RefreshCounters(const RunStatistics &statistics, ProgressView &view) {
  view.SetCounters(statistics);
}

std::uint64_t BytesReduced(const RunStatistics &statistics) {
  return statistics.bytesBefore >= statistics.bytesAfter
             ? statistics.bytesBefore - statistics.bytesAfter
             : 0;
}

TTString FormatCounter(CounterField field, const RunStatistics &statistics) {
  switch (field) {
  case CounterField::totalFiles:
    return FormatCount(statistics.totalFiles);
  case CounterField::documentFiles:
    return FormatCount(statistics.documentFiles);
  case CounterField::compressedFiles:
    return FormatCount(statistics.compressedFiles);
  case CounterField::bytesBefore:
    return FormatByteCount(statistics.bytesBefore);
  case CounterField::bytesAfter:
    return FormatByteCount(statistics.bytesAfter);
  case CounterField::bytesReduced:
    return FormatByteCount(BytesReduced(statistics));
  case CounterField::ratio:
    return FormatRatio(statistics.bytesAfter, statistics.bytesBefore);
  }
  return TTString();
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

std::uint64_t ScaledRatio(std::uint64_t a, std::uint64_t b, std::uint64_t scale) {
  if (b == 0)
    return scale;
  // 128 bits hold any product of two 64-bit values.
  unsigned __int128 quotient = static_cast<unsigned __int128>(a) * scale / b;
  if (quotient > std::numeric_limits<std::uint64_t>::max())
    return std::numeric_limits<std::uint64_t>::max();
  return static_cast<std::uint64_t>(quotient);
}

TTString FormatRatio(std::uint64_t after, std::uint64_t before) {
  std::uint64_t tenths = ScaledRatio(after, before, 1000);
  char text[32];
  std::snprintf(text, sizeof text, "%3" PRIu64 ".%1" PRIu64 "%%", tenths / 10, tenths % 10);
  return TTString(text);
}
