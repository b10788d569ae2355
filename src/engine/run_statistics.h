//===- engine/run_statistics.h - The run's counters and their texts -------===//
///
/// \file
/// RunStatistics counts what one run did and how much it gained; the
/// functions here turn the counts into the seven counter texts of the
/// progress window. Estimate runs count exactly like compressing runs.
///
/// The two byte sums are 64 bits wide: a run over more than 4 GiB of
/// documents still shows true figures, and since every document in the sums
/// shrank, the ratio stays below 100.0% for every run.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"

#include <cstdint>

class ProgressView;

/// The seven counter fields of the progress window, in the order the run
/// refreshes them.
enum class CounterField {
  totalFiles,
  documentFiles,
  compressedFiles,
  bytesBefore,
  bytesAfter,
  bytesReduced,
  ratio,
};

/// The counters of one run, zeroed when the run begins.
struct RunStatistics {
  /// Every candidate the compaction phase took up (documents, other files
  /// and directories that the masks selected alike).
  std::int32_t totalFiles = 0;
  /// Every candidate that opened as a usable compound document.
  std::int32_t documentFiles = 0;
  /// Every document whose fresh copy was strictly smaller, in both modes.
  std::int32_t compressedFiles = 0;
  /// The old sizes of the documents counted in compressedFiles.
  std::uint64_t bytesBefore = 0;
  /// The sizes of their fresh copies.
  std::uint64_t bytesAfter = 0;

  void Zero() { *this = RunStatistics(); }
};

/// Gives the view the run's counters, for its seven counter fields.
void RefreshCounters(const RunStatistics &statistics, ProgressView &view);

/// The bytes the compacted documents gave back: bytesBefore - bytesAfter,
/// never below zero (every document in the sums shrank).
std::uint64_t BytesReduced(const RunStatistics &statistics);

/// The text of one counter field as the progress window shows it: the file
/// counts through FormatCount, the byte sums through FormatByteCount, the
/// ratio through FormatRatio.
TTString FormatCounter(CounterField field, const RunStatistics &statistics);

/// A count in decimal: an optional minus sign and digits, no padding and no
/// thousands separators ("%d").
TTString FormatCount(std::int32_t value);

/// A byte sum in decimal: digits only, never a minus sign.
TTString FormatByteCount(std::uint64_t value);

/// `a` x `scale` / `b`, truncated towards zero; `scale` when `b` is 0. The
/// product is formed without overflow; a quotient beyond 64 bits gives the
/// largest 64-bit value.
std::uint64_t ScaledRatio(std::uint64_t a, std::uint64_t b, std::uint64_t scale);

/// The size of the copies as a share of the old size, in tenths of a percent,
/// truncated: the whole percent right-aligned in three characters, a point,
/// one digit and a percent sign (" 77.5%", "100.0%", "  0.5%"). 100.0% when
/// `before` is 0.
TTString FormatRatio(std::uint64_t after, std::uint64_t before);
