//===- cli/json_report.cpp - The run as one JSON document for scripts -----===//

#include "cli/json_report.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli/byte_text.h"
#include "core/version.h"

namespace velkor::cli {
namespace {

using nlohmann::json;

std::string Trimmed(const std::string &text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos)
    return std::string();
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

/// "path", and "pathBytes" for a name that is not valid UTF-8.
void AddPath(json &entry, const std::string &path) {
  if (IsValidUtf8(path)) {
    entry["path"] = path;
  } else {
    entry["path"] = ReplaceInvalidUtf8(path);
    entry["pathBytes"] = HexBytes(path);
  }
}

} // namespace

json DocumentJson(const DocumentReport &report) {
  json entry = json::object();
  AddPath(entry, report.path);
  entry["sizeBefore"] = report.sizeBefore;
  entry["sizeAfter"] = report.sizeAfter;
  entry["outcome"] = OutcomeName(report.outcome);
  entry["reason"] = ReplaceInvalidUtf8(report.reason);
  return entry;
}

json CountersJson(const RunStatistics &statistics) {
  json object = json::object();
  object["totalFiles"] = statistics.totalFiles;
  object["documentFiles"] = statistics.documentFiles;
  object["compressedFiles"] = statistics.compressedFiles;
  object["bytesBefore"] = statistics.bytesBefore;
  object["bytesAfter"] = statistics.bytesAfter;
  object["bytesReduced"] = BytesReduced(statistics);
  object["ratio"] = Trimmed(FormatCounter(CounterField::ratio, statistics).CStr());
  return object;
}

std::string DumpJson(const json &value) {
  // ensure_ascii: the report is plain ASCII whatever the names hold; the
  // replace handler is a second line of defence, as every string put in is
  // already valid UTF-8.
  return value.dump(-1, ' ', true, json::error_handler_t::replace);
}

std::string IsoUtcTime(std::chrono::system_clock::time_point time) {
  // The calendar of <chrono> rather than gmtime_r, which Windows lacks.
  using namespace std::chrono;
  const auto second = floor<seconds>(time);
  const auto day = floor<days>(second);
  const year_month_day date{day};
  const hh_mm_ss<seconds> clock{second - day};
  if (!date.ok())
    return "1970-01-01T00:00:00Z"; // a clock beyond any calendar: not worth failing a run for
  char text[48] = "";
  std::snprintf(text, sizeof text, "%d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return text;
}

JsonReport::JsonReport(std::FILE *out, bool estimate, std::chrono::system_clock::time_point started)
    : out(out), estimate(estimate), started(started) {}

void JsonReport::Begin() {
  if (begun)
    return;
  begun = true;
  std::fprintf(out,
               "{\"program\":\"velkor-cli\",\"version\":%s,\"mode\":\"%s\",\"started\":\"%s\","
               "\"documents\":[",
               DumpJson(kVelkorVersion).c_str(), estimate ? "estimate" : "compress",
               IsoUtcTime(started).c_str());
}

void JsonReport::AddDocument(const DocumentReport &report) {
  Begin();
  std::fprintf(out, "%s\n%s", anyDocument ? "," : "", DumpJson(DocumentJson(report)).c_str());
  anyDocument = true;
  bytesRead += report.bytesRead;
  bytesWritten += report.bytesWritten;
}

void JsonReport::AddTemporaryFile(bool removed) {
  ++temporaryFilesFound;
  if (removed)
    ++temporaryFilesRemoved;
}

void JsonReport::AddLeftoverFile(const std::string &path) {
  json entry = json::object();
  AddPath(entry, path);
  entry["reason"] = TempFileFindingText(TempFileFinding::leftover);
  if (!leftovers.empty())
    leftovers += ',';
  leftovers += DumpJson(entry);
}

void JsonReport::Finish(const RunStatistics &statistics, RunEnding ending,
                        const std::string &message, int exitStatus, double elapsedSeconds) {
  Begin();
  // Milliseconds are as exact as a report compared night by night needs.
  const double elapsed = std::round(std::max(elapsedSeconds, 0.0) * 1000) / 1000;
  std::fprintf(out,
               "%s],\"counters\":%s,\"temporaryFiles\":{\"found\":%lld,\"removed\":%lld,"
               "\"leftovers\":[%s]},\"elapsedSeconds\":%s,\"bytesRead\":%llu,\"bytesWritten\":%llu,"
               "\"status\":\"%s\",\"message\":%s,\"exitStatus\":%d}\n",
               anyDocument ? "\n" : "", DumpJson(CountersJson(statistics)).c_str(),
               temporaryFilesFound, temporaryFilesRemoved, leftovers.c_str(),
               DumpJson(elapsed).c_str(), static_cast<unsigned long long>(bytesRead),
               static_cast<unsigned long long>(bytesWritten), EndingName(ending),
               DumpJson(ReplaceInvalidUtf8(message)).c_str(), exitStatus);
  std::fflush(out);
}

} // namespace velkor::cli
