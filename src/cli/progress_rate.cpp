//===- cli/progress_rate.cpp - How fast a run goes and how long it has left =//

#include "cli/progress_rate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velkor::cli {

std::optional<RateEstimate> EstimateRate(const DocumentProgress &progress, int total,
                                         double elapsedSeconds) {
  if (progress.finished <= 0 || total <= 0 || !(elapsedSeconds >= kShortestEstimateSeconds))
    return std::nullopt;
  // The bytes say how far the phase is where there are any done to go by;
  // a run over empty files or whose first candidates are empty counts them.
  const bool bySize = progress.totalBytes > 0 && progress.finishedBytes > 0;
  double done = bySize ? static_cast<double>(progress.finishedBytes) /
                             static_cast<double>(progress.totalBytes)
                       : static_cast<double>(progress.finished) / total;
  done = std::min(done, 1.0);
  if (done < kEstimateAfterShare && elapsedSeconds < kEstimateAfterSeconds)
    return std::nullopt;
  RateEstimate estimate;
  estimate.filesPerSecond = progress.finished / elapsedSeconds;
  estimate.bytesPerSecond = static_cast<double>(progress.finishedBytes) / elapsedSeconds;
  estimate.secondsLeft = elapsedSeconds * (1.0 - done) / done;
  return estimate;
}

std::string FormatDuration(double seconds, bool tenths) {
  if (!(seconds > 0))
    seconds = 0;
  // A first estimate may be absurd; a hundred thousand hours is as far as
  // it is worth saying (and as far as the arithmetic below is safe).
  seconds = std::min(seconds, 360'000'000.0);
  // Rounded once, so that 59.96 s reads "0:01:00.0", never "0:00:60.0".
  const auto units = static_cast<long long>(std::llround(seconds * (tenths ? 10 : 1)));
  const long long whole = tenths ? units / 10 : units;
  char text[48];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  std::string result = text;
  if (tenths)
    result += "." + std::to_string(units % 10);
  return result;
}

std::string FormatRate(double perSecond) {
  if (!(perSecond > 0))
    perSecond = 0;
  perSecond = std::min(perSecond, 1e15);
  char text[48];
  std::snprintf(text, sizeof text, perSecond < 99.95 ? "%.1f" : "%.0f", perSecond);
  return text;
}

std::string RateText(const RateEstimate &estimate) {
  return FormatDuration(estimate.secondsLeft) + " left, " + FormatRate(estimate.filesPerSecond) +
         " files/s, " + FormatRate(estimate.bytesPerSecond / 1e6) + " MB/s";
}

} // namespace velkor::cli
