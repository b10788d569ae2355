//===- tests/cli/json_report_test.cpp - The report read back --------------===//

#include "cli/json_report.h"

#include <gtest/gtest.h>

#include <random>

#include "cli/byte_text.h"
#include "report_names.h"

namespace {

using namespace velkor::cli;
using nlohmann::json;

using velkor::test::NameFromReport;

std::string ReadAll(std::FILE *file) {
  std::rewind(file);
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    text.append(buffer, n);
  return text;
}

TEST(JsonReport, EveryNameSurvivesTheRoundTrip) {
  std::mt19937 random(7);
  std::vector<std::string> names = {"plain.doc",        "caf\xC3\xA9.doc",
                                    "caf\xE9.doc",      "quote\"back\\slash\nline.xls",
                                    "\xED\xA0\x80.doc", std::string("nul\0inside", 10)};
  std::string allBytes;
  for (int b = 1; b < 256; ++b)
    allBytes += static_cast<char>(b);
  names.push_back(allBytes);
  for (int n = 0; n < 500; ++n) {
    std::string name(1 + random() % 40, '\0');
    for (char &c : name)
      c = static_cast<char>(random() % 256);
    names.push_back(name);
  }
  for (const std::string &name : names) {
    const DocumentReport report{"/srv/" + name, 1000, 600, DocumentOutcome::wouldShrink, ""};
    const std::string text = DumpJson(DocumentJson(report));
    for (unsigned char c : text)
      ASSERT_TRUE(c >= 0x20 && c < 0x7F) << "not plain ASCII";
    const json parsed = json::parse(text);
    EXPECT_EQ(NameFromReport(parsed), report.path);
    // Only names that need it carry the bytes; the path stays readable.
    EXPECT_EQ(parsed.contains("pathBytes"), !IsValidUtf8(report.path));
    EXPECT_TRUE(IsValidUtf8(parsed["path"].get<std::string>()));
  }
}

TEST(JsonReport, StreamedReportIsOneDocumentWithCountersAndEnding) {
  std::FILE *out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  {
    JsonReport report(out, false, std::chrono::system_clock::from_time_t(1796848946));
    DocumentReport replaced{"a/q1.doc", 400000, 310000, DocumentOutcome::replaced, ""};
    replaced.bytesRead = 801536;
    replaced.bytesWritten = 310000;
    report.AddDocument(replaced);
    DocumentReport notes{"a/notes.doc", 812, 0, DocumentOutcome::passedOver,
                         "not a compound document"};
    notes.bytesRead = 512;
    report.AddDocument(notes);
    RunStatistics statistics;
    statistics.totalFiles = 2;
    statistics.documentFiles = statistics.compressedFiles = 1;
    statistics.bytesBefore = 400000;
    statistics.bytesAfter = 310000;
    report.Finish(statistics, RunEnding::complete, "Process is complete", 0, 12.3456);
  }
  const json parsed = json::parse(ReadAll(out));
  std::fclose(out);
  EXPECT_EQ(parsed["program"], "velkor-cli");
  EXPECT_EQ(parsed["mode"], "compress");
  EXPECT_EQ(parsed["started"], "2026-12-09T20:42:26Z");
  EXPECT_EQ(parsed["elapsedSeconds"], 12.346);
  EXPECT_EQ(parsed["bytesRead"], 801536 + 512);
  EXPECT_EQ(parsed["bytesWritten"], 310000);
  EXPECT_FALSE(parsed["documents"][0].contains("bytesRead")) << "document lines stay as they were";
  ASSERT_EQ(parsed["documents"].size(), 2u);
  EXPECT_EQ(parsed["documents"][0]["outcome"], "replaced");
  EXPECT_EQ(parsed["documents"][0]["sizeAfter"], 310000);
  EXPECT_EQ(parsed["documents"][1]["outcome"], "passedOver");
  EXPECT_EQ(parsed["documents"][1]["reason"], "not a compound document");
  EXPECT_EQ(parsed["counters"]["totalFiles"], 2);
  EXPECT_EQ(parsed["counters"]["bytesReduced"], 90000);
  EXPECT_EQ(parsed["counters"]["ratio"], "77.5%");
  EXPECT_EQ(parsed["status"], "complete");
  EXPECT_EQ(parsed["message"], "Process is complete");
  EXPECT_EQ(parsed["exitStatus"], 0);
}

TEST(JsonReport, EmptyRunAndLargeCountersStayExact) {
  std::FILE *out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  RunStatistics statistics;
  statistics.bytesBefore = 8589934592ull;
  statistics.bytesAfter = 4294967296ull;
  JsonReport(out, true, std::chrono::system_clock::from_time_t(0))
      .Finish(statistics, RunEnding::stopped, "Process was stopped", 130, -0.5);
  const json parsed = json::parse(ReadAll(out));
  std::fclose(out);
  EXPECT_EQ(parsed["mode"], "estimate");
  EXPECT_EQ(parsed["started"], "1970-01-01T00:00:00Z");
  EXPECT_EQ(parsed["elapsedSeconds"], 0.0) << "a clock set back never gives a negative time";
  EXPECT_EQ(parsed["bytesRead"], 0);
  EXPECT_EQ(parsed["bytesWritten"], 0);
  EXPECT_TRUE(parsed["documents"].empty());
  EXPECT_EQ(parsed["counters"]["bytesBefore"].get<std::uint64_t>(), 8589934592ull);
  EXPECT_EQ(parsed["counters"]["bytesReduced"].get<std::uint64_t>(), 4294967296ull);
  EXPECT_EQ(parsed["counters"]["ratio"], "50.0%");
  EXPECT_EQ(parsed["status"], "stopped");
  EXPECT_EQ(parsed["exitStatus"], 130);
}

} // namespace
