//===- cli/terminal_view.cpp - The run's progress window on a terminal ----===//

#include "cli/terminal_view.h"
#include "engine/user_abort.h"
#include "engine/run_failure.h"
#include "engine/compaction_run.h"

#include <algorithm>
#include <cerrno>
#include <array>
#include <cstring>
#include <iterator>

#include "cli/byte_text.h"
#include "cli/progress_rate.h"
#include "core/escape_text.h"
#include "engine/run_messages.h"

namespace velkor::cli {
namespace {

constexpr int kBarWidth = 10;

/// While compacting, the live line is redrawn at least this often.
constexpr std::chrono::seconds kRateRedrawInterval{1};

std::string Text(const char *text) { return text ? std::string(text) : std::string(); }

std::string TrimmedSpaces(const std::string &text) {
  const auto first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

constexpr CounterField kCounterFields[] = {
    CounterField::totalFiles,  CounterField::documentFiles, CounterField::compressedFiles,
    CounterField::bytesBefore, CounterField::bytesAfter,    CounterField::bytesReduced,
    CounterField::ratio,
};

/// The counters' texts and the widths of their two columns.
struct CounterColumns {
  std::array<std::string, std::size(kCounterFields)> texts;
  std::size_t labelWidth = 0;
  std::size_t valueWidth = 0;
};

CounterColumns CounterColumnsOf(const RunStatistics &counters) {
  CounterColumns columns;
  for (std::size_t i = 0; i < columns.texts.size(); ++i) {
    columns.texts[i] = FormatCounter(kCounterFields[i], counters).CStr();
    columns.labelWidth = std::max(columns.labelWidth, std::strlen(kCounterLabels[i]));
    columns.valueWidth = std::max(columns.valueWidth, DisplayWidth(columns.texts[i]));
  }
  return columns;
}

} // namespace

/// "Elapsed time:" and the run's duration in the counters' columns, the
/// summary's last line. A duration wider than the counters' values juts
/// out to the right rather than move them.
std::string ElapsedLine(double seconds, const RunStatistics &counters) {
  const CounterColumns columns = CounterColumnsOf(counters);
  const std::string value = FormatDuration(seconds, true);
  std::string line = kElapsedLabel;
  line.append(std::max(columns.labelWidth + 1, line.size() + 1) - line.size(), ' ');
  if (value.size() < columns.valueWidth)
    line.append(columns.valueWidth - value.size(), ' ');
  return line + value;
}

namespace {

/// "path: 400000 -> 310000 bytes, replaced", one line of --list.
std::string ListLine(const DocumentReport &report) {
  std::string line = EscapeControlBytes(report.path) + ": " + std::to_string(report.sizeBefore);
  switch (report.outcome) {
  case DocumentOutcome::replaced:
    return line + " -> " + std::to_string(report.sizeAfter) + " bytes, replaced";
  case DocumentOutcome::wouldShrink:
    return line + " -> " + std::to_string(report.sizeAfter) + " bytes, would shrink";
  case DocumentOutcome::notSmaller:
    return line + " -> " + std::to_string(report.sizeAfter) + " bytes, not smaller";
  case DocumentOutcome::endedRun:
    return line + " bytes, ended the run (" + EscapeControlBytes(report.reason) + ")";
  case DocumentOutcome::replacedThenEndedRun:
    return line + " -> " + std::to_string(report.sizeAfter) +
           " bytes, replaced, then ended the run (" + EscapeControlBytes(report.reason) + ")";
  case DocumentOutcome::passedOver:
    break;
  }
  line += " bytes, passed over";
  if (!report.reason.empty())
    line += " (" + EscapeControlBytes(report.reason) + ")";
  return line;
}

} // namespace

TerminalView::TerminalView(const TerminalSettings &settings)
    : settings(settings), runStarted(settings.clock()), phaseStarted(runStarted) {
  if (settings.json) {
    json = std::make_unique<JsonReport>(settings.out, settings.estimate,
                                        std::chrono::system_clock::now());
  }
}

TerminalView::~TerminalView() = default;

bool TerminalView::Create() { return true; }

void TerminalView::Destroy() {
  std::lock_guard lock(mutex);
  phase = Phase::ended;
  ClearLive();
}

void TerminalView::Show() {
  std::lock_guard lock(mutex);
  shown = true;
  // The window's caption says what kind of run this is; a terminal keeps it
  // above the live line.
  if (!settings.json)
    PrintLine(settings.out, caption);
  DrawLive(true);
}

void TerminalView::SetCaption(const char *text) {
  std::lock_guard lock(mutex);
  caption = Text(text);
}

void TerminalView::SetDiskRange(int) {}
void TerminalView::SetDiskPosition(int) {}

void TerminalView::SetFileRange(int count) {
  std::lock_guard lock(mutex);
  fileRange = std::max(count, 0);
  const bool announce = announceCompaction;
  if (announceCompaction) {
    announceCompaction = false;
    if (!settings.live && !settings.json) {
      PrintLine(settings.out, std::string(PhaseText(RunPhase::compressing)) + " " +
                                  std::to_string(fileRange) +
                                  (fileRange == 1 ? " file" : " files"));
    }
  }
  DrawLive(announce);
}

void TerminalView::SetFilePosition(int position) {
  std::lock_guard lock(mutex);
  filePosition = position;
  // The run moves the bar to its end once the last candidate of an entry is
  // done: from then until the next compaction phase no document is in hand.
  if (phase == Phase::compacting && position >= fileRange)
    phase = Phase::idle;
  DrawLive(false);
}

void TerminalView::SetDiskText(const char *text) {
  std::lock_guard lock(mutex);
  diskText = Text(text);
}

void TerminalView::SetFileText(const char *text) {
  std::lock_guard lock(mutex);
  fileText = Text(text);
  DrawLive(false);
}

void TerminalView::SetPhase(RunPhase runPhase) {
  std::lock_guard lock(mutex);
  pumpsInPhase = 0;
  documentProgress = DocumentProgress{};
  if (runPhase == RunPhase::compressing) {
    phaseStarted = settings.clock();
    phase = Phase::compacting;
    filePosition = 0;
    announceCompaction = true;
  } else {
    if (phase != Phase::ended)
      phase = Phase::idle;
    if (!settings.live && !settings.json) {
      PrintLine(settings.out,
                std::string(PhaseText(runPhase)) + " " + EscapeControlBytes(diskText));
    }
  }
  // The compaction phase is drawn once its candidates are counted.
  if (phase != Phase::compacting)
    DrawLive(true);
}

void TerminalView::SetCounters(const RunStatistics &statistics) {
  std::lock_guard lock(mutex);
  counters = statistics;
  DrawLive(false);
}

void TerminalView::SetDocumentProgress(const DocumentProgress &progress) {
  std::lock_guard lock(mutex);
  documentProgress = progress;
  DrawLive(false);
}

bool TerminalView::StopRequested() const { return stopRequested.load(); }

void TerminalView::PumpMessages() {
  std::lock_guard lock(mutex);
  ++pumpsInPhase;
  DrawLive(false);
}

void TerminalView::ShowMessage(const char *text) {
  std::lock_guard lock(mutex);
  lastMessage = Text(text);
}

void TerminalView::EnableMainWindow(bool) {}

void TerminalView::DocumentDone(const DocumentReport &report, const RunStatistics &statistics) {
  std::lock_guard lock(mutex);
  counters = statistics;
  if (json) {
    json->AddDocument(report);
    std::fflush(settings.out);
    CheckOutput(settings.out);
  } else if (settings.list) {
    PrintLine(settings.out, ListLine(report));
  }
  DrawLive(false);
}

void TerminalView::TemporaryFileSwept(const std::string &path, TempFileFinding finding) {
  std::lock_guard lock(mutex);
  if (finding == TempFileFinding::leftover)
    ++leftoverFiles;
  else
    ++temporaryFilesSwept;
  if (json) {
    if (finding == TempFileFinding::leftover)
      json->AddLeftoverFile(path);
    else
      json->AddTemporaryFile(finding == TempFileFinding::removedCopy);
  } else if (settings.list) {
    PrintLine(settings.out, EscapeControlBytes(path) + ": " + TempFileFindingText(finding));
  }
  DrawLive(false);
}

void TerminalView::RunEnded(RunEnding, const RunStatistics &statistics) {
  std::lock_guard lock(mutex);
  counters = statistics;
}

void TerminalView::Tick() {
  std::lock_guard lock(mutex);
  if (liveStale || (phase == Phase::compacting && liveOnScreen &&
                    settings.clock() - lastDraw >= kRateRedrawInterval)) {
    DrawLive(true);
  }
}

void TerminalView::RequestStop(int signal) {
  std::lock_guard lock(mutex);
  int none = 0;
  stopSignal.compare_exchange_strong(none, signal);
  stopRequested = true;
  DrawLive(true);
}

bool TerminalView::FinishIfIdle() {
  std::lock_guard lock(mutex);
  stopRequested = true;
  if (finished)
    return false; // the program is about to end by itself
  if (phase == Phase::compacting) {
    DrawLive(true);
    return false;
  }
  FinishLocked(RunEnding::stopped, RunMessage::kStopped);
  return true;
}

void TerminalView::Finish(RunEnding ending, const std::string &message) {
  std::lock_guard lock(mutex);
  FinishLocked(ending, message);
}

std::string TerminalView::LastMessage() const {
  std::lock_guard lock(mutex);
  return lastMessage;
}

int TerminalView::ExitStatus(RunEnding ending) const {
  return ExitStatusOf(ending, stopSignal.load());
}

bool TerminalView::OutputFailed() const { return outputFailed.load(); }

int TerminalView::OutputError() const { return outputError.load(); }

void TerminalView::FinishLocked(RunEnding ending, const std::string &message) {
  if (finished)
    return;
  finished = true;
  ClearLive();
  const bool failed = ending == RunEnding::message || ending == RunEnding::error;
  if (failed && !message.empty())
    PrintLine(settings.err, "velkor-cli: " + EscapeControlBytes(message));
  const double elapsed = ElapsedSeconds(runStarted);
  if (json) {
    json->Finish(counters, ending, message, ExitStatus(ending), elapsed);
    CheckOutput(settings.out);
  } else {
    if (!failed && !message.empty())
      PrintLine(settings.out, EscapeControlBytes(message));
    // A run that ended before its window was shown counted nothing.
    if (shown)
      PrintCounters();
    if (shown && settings.list && temporaryFilesSwept > 0) {
      PrintLine(settings.out,
                std::string(settings.estimate ? "Abandoned temporary files found: "
                                              : "Abandoned temporary files removed: ") +
                    std::to_string(temporaryFilesSwept));
    }
    if (shown && settings.list && leftoverFiles > 0)
      PrintLine(settings.out, "Leftover files to look at: " + std::to_string(leftoverFiles));
    if (shown)
      PrintLine(settings.out, ElapsedLine(elapsed, counters));
  }
  std::fflush(settings.out);
  std::fflush(settings.err);
  CheckOutput(settings.out);
}

void TerminalView::PrintLine(std::FILE *stream, const std::string &line) {
  ClearLive(); // the live line and this line may share one terminal
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  // Flushed line by line: a reader of a pipe (a log, a script waiting for a
  // phase) sees each line when it happens.
  std::fflush(stream);
  if (stream != settings.err)
    CheckOutput(stream);
}

void TerminalView::PrintCounters() {
  const CounterColumns columns = CounterColumnsOf(counters);
  for (std::size_t i = 0; i < columns.texts.size(); ++i) {
    std::string line = kCounterLabels[i];
    line.append(columns.labelWidth + 1 - line.size(), ' ');
    line.append(columns.valueWidth - DisplayWidth(columns.texts[i]), ' ');
    line += columns.texts[i];
    PrintLine(settings.out, line);
  }
}

double TerminalView::ElapsedSeconds(std::chrono::steady_clock::time_point since) const {
  return std::chrono::duration<double>(settings.clock() - since).count();
}

int TerminalView::LiveColumns() const {
  if (const int width = settings.live ? TerminalWidth(settings.live) : 0; width > 0)
    return width;
  return settings.columns;
}

std::string TerminalView::LiveLine(std::size_t columns) const {
  std::string line;
  if (stopRequested)
    line += "Stopping... ";
  if (phase == Phase::compacting) {
    // "Compressing 37/120 [######--------------] 30 documents, 12 compressed, 77.5%"
    const long long total = fileRange;
    const long long inHand = std::min<long long>(documentProgress.started, total);
    const long long done =
        std::clamp<long long>(std::max(filePosition, documentProgress.finished), 0, total);
    const int filled = total > 0 ? static_cast<int>(done * kBarWidth / total) : kBarWidth;
    line += std::string(PhaseText(RunPhase::compressing)) + " " + std::to_string(inHand) + "/" +
            std::to_string(total) + " [" + std::string(filled, '#') +
            std::string(kBarWidth - filled, '-') + "] ";
    // "... [######----] 0:12:34 left, 1280 files/s, 12.3 MB/s, 30 documents, ..."
    if (const auto estimate =
            EstimateRate(documentProgress, fileRange, ElapsedSeconds(phaseStarted))) {
      line += RateText(*estimate) + ", ";
    }
  } else {
    // A single-file entry's scan writes no phase of its own; it is a scan all the same.
    line += PhaseText(RunPhase::scanning);
    if (!diskText.empty())
      line += " " + EscapeControlBytes(diskText);
    line += ": " + std::to_string(pumpsInPhase) + " found, ";
  }
  line += std::string(FormatCount(counters.documentFiles).CStr()) + " documents, " +
          FormatCount(counters.compressedFiles).CStr() + " compressed";
  if (counters.compressedFiles != 0) {
    line += ", " + TrimmedSpaces(FormatCounter(CounterField::ratio, counters).CStr());
  }
  line = KeepHead(line, columns);
  const std::size_t used = DisplayWidth(line);
  if (!fileText.empty() && used + 12 < columns) {
    line += "  " + KeepTail(EscapeControlBytes(fileText), columns - used - 2);
  }
  return line;
}

void TerminalView::DrawLive(bool force) {
  if (!settings.live || !shown || finished || phase == Phase::ended || announceCompaction)
    return;
  const auto now = settings.clock();
  if (!force && liveOnScreen && now - lastDraw < settings.redrawInterval) {
    liveStale = true; // drawn by the next Tick or the next change
    return;
  }
  liveStale = false;
  lastDraw = now;
  const int columns = LiveColumns();
  // One column short of the width, so that the cursor never wraps.
  const std::string line = LiveLine(columns > 1 ? static_cast<std::size_t>(columns - 1) : 1);
  std::fputs("\r", settings.live);
  std::fwrite(line.data(), 1, line.size(), settings.live);
  std::fputs("\x1b[K", settings.live);
  std::fflush(settings.live);
  liveOnScreen = true;
  CheckOutput(settings.live);
}

void TerminalView::ClearLive() {
  if (!settings.live || !liveOnScreen)
    return;
  std::fputs("\r\x1b[K", settings.live);
  std::fflush(settings.live);
  liveOnScreen = false;
}

void TerminalView::CheckOutput(std::FILE *stream) {
  if (std::ferror(stream) && !outputFailed) {
    // Nobody reads what the run reports any more: end it before the next
    // document rather than work on unseen.
    outputError = FailedWriteError();
    outputFailed = true;
    stopRequested = true;
  }
}

RunEnding RunToItsEnd(const RunOptions &options, BaseEntrySource &source, TerminalView &view) {
  RunEnding ending = RunEnding::complete;
  std::string message;
  try {
    CompactionRun(options, source, view);
    message = view.LastMessage();
  } catch (const UserAbort &abort) {
    message = view.LastMessage();
    ending = abort.ending;
  } catch (...) {
    message = DescribeCurrentException();
    ending = RunEnding::error;
  }
  view.Finish(ending, message);
  return ending;
}

} // namespace velkor::cli
