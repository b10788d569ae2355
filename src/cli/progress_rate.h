//===- cli/progress_rate.h - How fast a run goes and how long it has left -===//
///
/// \file
/// The live line tells the person waiting the rate (files and megabytes a
/// second) and the time left in the compaction of the folder or drive in
/// hand, as the transfer tools do. The time left is weighted by size: the
/// share of the candidates' bytes (as the scan saw them) that is done says
/// how far the phase is, so a few large documents at the end do not make
/// the estimate run out early. Where the candidates have no bytes at all,
/// their count says it instead. The texts for the summary's elapsed time
/// are here too. Pure functions of what they are given: no clock is read.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <optional>
#include <string>

#include "engine/progress_view.h"

namespace velkor::cli {

/// What the live line shows once there is enough to estimate from.
struct RateEstimate {
  double filesPerSecond = 0; ///< candidates finished a second
  double bytesPerSecond = 0; ///< their sizes (as the scan saw them) a second
  double secondsLeft = 0;    ///< until the phase's last candidate is done
};

/// No estimate before this much of the phase's work is done...
inline constexpr double kEstimateAfterShare = 0.01;
/// ...unless this many seconds have passed with a candidate finished.
inline constexpr double kEstimateAfterSeconds = 10.0;
/// A share done in less time than this says too little about the rate.
inline constexpr double kShortestEstimateSeconds = 1.0;

/// The rate and the time left after `elapsedSeconds` of a compaction phase
/// over `total` candidates, or nothing while there is not enough to go on:
/// no candidate finished yet, or less than 1% of the work done in less than
/// ten seconds, or less than a second passed.
std::optional<RateEstimate> EstimateRate(const DocumentProgress &progress, int total,
                                         double elapsedSeconds);

/// A duration as hours, minutes and seconds: "0:04:05", "27:46:40". With
/// `tenths`, a tenth of a second is added: "0:00:02.4". Negative durations
/// count as zero, and none is longer than 100000 hours.
std::string FormatDuration(double seconds, bool tenths = false);

/// A rate as the live line shows it: one decimal below 100, none above.
std::string FormatRate(double perSecond);

/// "0:12:34 left, 1280 files/s, 12.3 MB/s" (megabytes of 1,000,000 bytes).
std::string RateText(const RateEstimate &estimate);

} // namespace velkor::cli
