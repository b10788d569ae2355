//===- cli/json_report.cpp - The run as one JSON document for scripts -----===//

#include "cli/json_report.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdlib>

#include "cli/byte_text.h"

#ifndef VELKOR_VERSION
#define VELKOR_VERSION "unknown"
#endif

namespace cli {
namespace {

using nlohmann::json;

constexpr std::array<const char*, 7> kCounterKeys = {
    "totalFiles", "documentFiles", "compressedFiles", "bytesBefore",
    "bytesAfter", "bytesReduced",  "ratio",
};

/// A counter text as a number when it is one ("%d" or unsigned digits),
/// otherwise the text itself, so nothing the run showed is lost.
json CounterValue(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  if (!text.empty() && text[0] == '-') {
    const long long value = std::strtoll(begin, &end, 10);
    if (errno == 0 && end != begin && *end == '\0') return value;
  } else if (!text.empty() && text[0] >= '0' && text[0] <= '9') {
    const unsigned long long value = std::strtoull(begin, &end, 10);
    if (errno == 0 && end != begin && *end == '\0') return value;
  }
  return ReplaceInvalidUtf8(text);
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

const char* OutcomeName(DocumentOutcome outcome) {
  switch (outcome) {
    case DocumentOutcome::replaced: return "replaced";
    case DocumentOutcome::wouldShrink: return "wouldShrink";
    case DocumentOutcome::notSmaller: return "notSmaller";
    case DocumentOutcome::passedOver: return "passedOver";
  }
  return "unknown";
}

const char* EndingName(RunEnding ending) {
  switch (ending) {
    case RunEnding::complete: return "complete";
    case RunEnding::stopped: return "stopped";
    case RunEnding::message: return "message";
    case RunEnding::error: return "error";
  }
  return "unknown";
}

json DocumentJson(const DocumentReport& report) {
  json entry = json::object();
  if (IsValidUtf8(report.path)) {
    entry["path"] = report.path;
  } else {
    entry["path"] = ReplaceInvalidUtf8(report.path);
    entry["pathBytes"] = HexBytes(report.path);
  }
  entry["sizeBefore"] = report.sizeBefore;
  entry["sizeAfter"] = report.sizeAfter;
  entry["outcome"] = OutcomeName(report.outcome);
  entry["reason"] = ReplaceInvalidUtf8(report.reason);
  return entry;
}

json CountersJson(const CounterTexts& counters) {
  json object = json::object();
  for (std::size_t i = 0; i + 1 < counters.size(); ++i) {
    object[kCounterKeys[i]] = CounterValue(counters[i]);
  }
  object["ratio"] = ReplaceInvalidUtf8(Trimmed(counters.back()));
  return object;
}

std::string DumpJson(const json& value) {
  // ensure_ascii: the report is plain ASCII whatever the names hold; the
  // replace handler is a second line of defence, as every string put in is
  // already valid UTF-8.
  return value.dump(-1, ' ', true, json::error_handler_t::replace);
}

JsonReport::JsonReport(std::FILE* out, bool estimate) : out(out), estimate(estimate) {}

void JsonReport::Begin() {
  if (begun) return;
  begun = true;
  std::fprintf(out, "{\"program\":\"velkor-cli\",\"version\":%s,\"mode\":\"%s\",\"documents\":[",
               DumpJson(VELKOR_VERSION).c_str(), estimate ? "estimate" : "compress");
}

void JsonReport::AddDocument(const DocumentReport& report) {
  Begin();
  std::fprintf(out, "%s\n%s", anyDocument ? "," : "", DumpJson(DocumentJson(report)).c_str());
  anyDocument = true;
}

void JsonReport::Finish(const CounterTexts& counters, RunEnding ending,
                        const std::string& message, int exitStatus) {
  Begin();
  std::fprintf(out, "%s],\"counters\":%s,\"status\":\"%s\",\"message\":%s,\"exitStatus\":%d}\n",
               anyDocument ? "\n" : "", DumpJson(CountersJson(counters)).c_str(),
               EndingName(ending), DumpJson(ReplaceInvalidUtf8(message)).c_str(), exitStatus);
  std::fflush(out);
}

}  // namespace cli
