//===- cli/json_report.h - The run as one JSON document for scripts -------===//
///
/// \file
/// `velkor-cli --json` writes one JSON object on standard output. It is
/// streamed: the header goes out with the first document, each document is
/// one line as soon as it is done, and the counters and the ending close the
/// object, so memory stays flat however many files a run takes up.
///
/// File names are bytes. A name that is valid UTF-8 is the string "path"
/// unchanged. A name that is not keeps a readable "path" (each stray byte
/// shown as U+FFFD) plus "pathBytes", the exact bytes in hexadecimal, so any
/// name survives the trip. The output itself is plain ASCII (\uXXXX escapes).
///
/// So that the reports of runs night after night can be compared, the
/// header carries when the run started ("started", UTC), and the close how
/// long it took ("elapsedSeconds") and what it read from documents and
/// wrote into copies ("bytesRead", "bytesWritten"; see DocumentReport).
///
//===----------------------------------------------------------------------===//
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "cli/run_ending.h"
#include "engine/progress_view.h"

namespace velkor::cli {

/// One document's entry: path (and pathBytes when needed), sizeBefore,
/// sizeAfter, outcome, reason.
nlohmann::json DocumentJson(const DocumentReport &report);

/// The counters as numbers (the ratio as the window's text, e.g. "77.5%").
nlohmann::json CountersJson(const RunStatistics &statistics);

/// A JSON value as ASCII text that never throws, whatever bytes it holds.
std::string DumpJson(const nlohmann::json &value);

/// A time as ISO 8601 in UTC to the second: "2026-12-09T20:42:26Z".
std::string IsoUtcTime(std::chrono::system_clock::time_point time);

/// Writes the report of one run to a stream, piece by piece.
class JsonReport {
public:
  /// `started`: when the run started, for the report's header.
  JsonReport(std::FILE *out, bool estimate, std::chrono::system_clock::time_point started);

  /// Writes one document line (and the report's header before the first).
  void AddDocument(const DocumentReport &report);
  /// Counts one abandoned temporary copy the run removed (or only found).
  void AddTemporaryFile(bool removed);
  /// Names one leftover file of the copies' name that is no copy: it goes
  /// into "temporaryFiles"'s "leftovers", with "path" (and "pathBytes" when
  /// needed) and "reason", the listing's text.
  void AddLeftoverFile(const std::string &path);
  /// Writes the counters, the run's duration, the bytes read and written,
  /// and the ending, and closes the object. Call once.
  void Finish(const RunStatistics &statistics, RunEnding ending, const std::string &message,
              int exitStatus, double elapsedSeconds);

private:
  void Begin();

  std::FILE *out;
  bool estimate;
  std::chrono::system_clock::time_point started;
  bool begun = false;
  bool anyDocument = false;
  long long temporaryFilesFound = 0;
  long long temporaryFilesRemoved = 0;
  std::string leftovers; ///< the leftovers' entries, comma-separated JSON
  std::uint64_t bytesRead = 0;
  std::uint64_t bytesWritten = 0;
};

} // namespace velkor::cli
