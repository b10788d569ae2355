//===- tests/support/recording_view.cpp - A progress view that writes a log ===//

#include "support/recording_view.h"

#include "engine/run_messages.h"

#include <gtest/gtest.h>

namespace velkor::test {

const char *CounterName(CounterField field) {
  switch (field) {
  case CounterField::totalFiles:
    return "totalFiles";
  case CounterField::documentFiles:
    return "documentFiles";
  case CounterField::compressedFiles:
    return "compressedFiles";
  case CounterField::bytesBefore:
    return "bytesBefore";
  case CounterField::bytesAfter:
    return "bytesAfter";
  case CounterField::bytesReduced:
    return "bytesReduced";
  case CounterField::ratio:
    return "ratio";
  }
  return "?";
}

bool RecordingView::Create() {
  log.push_back("create");
  if (failCreate)
    return false;
  created = true;
  return true;
}

void RecordingView::Destroy() {
  log.push_back("destroy");
  created = false;
  shown = false;
}

void RecordingView::Show() {
  log.push_back("show");
  shown = true;
}

void RecordingView::SetCaption(const char *text) { log.push_back(std::string("caption ") + text); }

void RecordingView::SetDiskRange(int count) { log.push_back("diskRange " + std::to_string(count)); }

void RecordingView::SetDiskPosition(int position) {
  log.push_back("diskPos " + std::to_string(position));
}

void RecordingView::SetFileRange(int count) { log.push_back("fileRange " + std::to_string(count)); }

void RecordingView::SetFilePosition(int position) {
  log.push_back("filePos " + std::to_string(position));
}

void RecordingView::SetDiskText(const char *text) {
  log.push_back(std::string("diskText ") + text);
}

void RecordingView::SetFileText(const char *text) {
  if (onFileText)
    onFileText(text);
  fileText = text;
  log.push_back(std::string("fileText ") + text);
}

void RecordingView::SetPhase(RunPhase phase) {
  if (onPhase)
    onPhase(phase);
  log.push_back(std::string("status ") + PhaseText(phase));
}

void RecordingView::SetCounters(const RunStatistics &statistics) {
  ++counterRefreshes;
  for (CounterField field :
       {CounterField::totalFiles, CounterField::documentFiles, CounterField::compressedFiles,
        CounterField::bytesBefore, CounterField::bytesAfter, CounterField::bytesReduced,
        CounterField::ratio}) {
    const std::string text = FormatCounter(field, statistics).CStr();
    counters[CounterName(field)] = text;
    counterWrites.emplace_back(field, text);
    log.push_back(std::string("counter ") + CounterName(field) + " " + text);
  }
}

void RecordingView::PumpMessages() {
  ++pumps;
  log.push_back("pump");
  if (stopAtPump != 0 && pumps == stopAtPump)
    stopRequested = true;
}

void RecordingView::ShowMessage(const char *text) {
  messages.push_back(text);
  log.push_back(std::string("message ") + text);
}

void RecordingView::EnableMainWindow(bool enable) {
  mainEnabled = enable;
  log.push_back(std::string("enableMain ") + (enable ? "1" : "0"));
}

void RecordingView::RunEnded(RunEnding ending, const RunStatistics &statistics) {
  endings.push_back(ending);
  endStatistics = statistics;
}

void RecordingView::DocumentDone(const DocumentReport &report, const RunStatistics &) {
  reports.push_back(report);
  log.push_back(std::string("done ") + OutcomeName(report.outcome) + " " + report.path);
}

std::vector<std::string> RecordingView::Lines(const std::string &prefix) const {
  std::vector<std::string> lines;
  for (const std::string &line : log)
    if (line.compare(0, prefix.size(), prefix) == 0)
      lines.push_back(line);
  return lines;
}

const DocumentReport &RecordingView::ReportFor(const std::string &suffix) const {
  for (const DocumentReport &report : reports)
    if (report.path.size() >= suffix.size() &&
        report.path.compare(report.path.size() - suffix.size(), suffix.size(), suffix) == 0)
      return report;
  ADD_FAILURE() << "no report for " << suffix;
  static DocumentReport none{};
  return none;
}

} // namespace velkor::test
