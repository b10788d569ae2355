//===- cli/terminal_view.h - The run's progress window on a terminal ------===//
///
/// \file
/// velkor-cli's implementation of the engine's progress view. On a terminal
/// it keeps one live line (phase, counters, a bar over the candidates while
/// compacting, the file in hand) redrawn in place; otherwise it writes plain
/// lines only, one per phase, with no control characters. While it compacts,
/// the live line also gives the rate and the time left (progress_rate.h).
/// At the end it writes the run's message, the seven counters under their
/// labels and the time the run took, or, with --json, one JSON report
/// instead.
///
/// The run calls the view on the program's one thread; Ctrl-C reaches it
/// from the signal-watching thread (RequestStop, FinishIfIdle), so every
/// entry point takes the view's lock.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "cli/json_report.h"
#include "cli/run_ending.h"
#include "engine/progress_view.h"

class BaseEntrySource;
struct RunOptions;

namespace velkor::cli {

/// Where and how the view writes.
struct TerminalSettings {
  std::FILE *out = stdout;   ///< listing, message, counters, JSON report
  std::FILE *err = stderr;   ///< messages of a run that failed
  std::FILE *live = nullptr; ///< the terminal that shows the live line; null for plain lines
  int columns = 80;          ///< width used when `live` is not a terminal that tells its own
  bool list = false;         ///< one line per document (--list)
  bool json = false;         ///< one JSON report instead of text (--json)
  bool estimate = false;     ///< the run only estimates
  /// The live line is redrawn at most this often, except when the phase changes.
  std::chrono::milliseconds redrawInterval{80};
  /// What the run's elapsed time, rate and time left are measured by.
  std::function<std::chrono::steady_clock::time_point()> clock = std::chrono::steady_clock::now;
};

/// True when `stream` writes to a terminal (on Windows a console) that can
/// show the live line: one that moves the cursor back on "\r" and clears to
/// the end of the line on "ESC [ K".
bool IsTerminal(std::FILE *stream);

/// The width in columns of the terminal `stream` writes to, or 0 when it
/// does not tell.
int TerminalWidth(std::FILE *stream);

/// The error number of a write to a stream that just failed: errno, except
/// that on Windows a pipe whose reader went away gives EPIPE, as on Linux
/// (the C runtime reports it as EINVAL).
int FailedWriteError();

/// Readies standard output and error for the program's text, which is UTF-8
/// with "\n" line ends on every system. On Linux there is nothing to do; on
/// Windows the bytes reach files and pipes unchanged, and a console is told
/// to read them as UTF-8, so that every name prints as it is.
void PrepareStandardStreams();

/// The label of the summary's last line, the time the run took.
inline constexpr const char *kElapsedLabel = "Elapsed time:";

/// The summary's last line: "Elapsed time:" and the run's duration
/// ("0:00:02.4") in the counters' columns (`counters` as they are printed).
std::string ElapsedLine(double seconds, const RunStatistics &counters);

class TerminalView final : public ProgressView {
public:
  explicit TerminalView(const TerminalSettings &settings);
  ~TerminalView() override;

  TerminalView(const TerminalView &) = delete;
  TerminalView &operator=(const TerminalView &) = delete;

  bool Create() override;
  void Destroy() override;
  void Show() override;
  void SetCaption(const char *text) override;
  void SetDiskRange(int count) override;
  void SetDiskPosition(int position) override;
  void SetFileRange(int count) override;
  void SetFilePosition(int position) override;
  void SetDiskText(const char *text) override;
  void SetFileText(const char *text) override;
  void SetPhase(RunPhase phase) override;
  void SetCounters(const RunStatistics &statistics) override;
  using ProgressView::SetDocumentProgress;
  void SetDocumentProgress(const DocumentProgress &progress) override;
  bool StopRequested() const override;
  void PumpMessages() override;
  void ShowMessage(const char *text) override;
  void EnableMainWindow(bool enable) override;
  void DocumentDone(const DocumentReport &report, const RunStatistics &statistics) override;
  void RunEnded(RunEnding ending, const RunStatistics &statistics) override;
  void TemporaryFileSwept(const std::string &path, TempFileFinding finding) override;

  /// Draws a change of the live line that was held back to keep redrawing
  /// to a few times a second (a document that opened just after a redraw
  /// would stay unseen for the whole of a long copy), and, while compacting,
  /// redraws it every second, so that the rate and the time left move on
  /// during a long copy too. Any thread.
  void Tick();

  /// The first stop signal (Ctrl-C's SIGINT, SIGTERM or SIGHUP): the run
  /// ends before its next document, and its exit status is 128 plus
  /// `signal`. Any thread.
  void RequestStop(int signal);

  /// A further stop signal. When no document is in hand (the run is scanning,
  /// between base entries, or not yet or no longer running) it writes the
  /// ending of a stopped run and answers true: the caller leaves the program
  /// at once with ExitStatus(). While a document is being copied or replaced
  /// it answers false, and the run stops right after that document, so a
  /// replacement is never cut short. Any thread.
  bool FinishIfIdle();

  /// Writes the ending: the message, then the counters (text) or the close
  /// of the JSON report, with the counters the run last told. Only the
  /// first call writes.
  void Finish(RunEnding ending, const std::string &message);

  /// The exit status of a run that ended as `ending`: a stopped run's tells
  /// the signal that stopped it.
  int ExitStatus(RunEnding ending) const;

  /// The last message the run showed (empty if none).
  std::string LastMessage() const;

  /// True once writing to the output failed (a closed pipe, a full disk);
  /// the view then asks the run to stop.
  bool OutputFailed() const;
  /// The error number of that first failed write (EPIPE for a reader that
  /// went away), or 0.
  int OutputError() const;

private:
  /// Where the run is, as far as a stop request is concerned.
  enum class Phase {
    idle,       ///< not shown yet, or between base entries, or scanning
    compacting, ///< from "Compressing" until the entry's last candidate is done
    ended,      ///< the window is gone
  };

  void FinishLocked(RunEnding ending, const std::string &message);
  void PrintLine(std::FILE *stream, const std::string &line);
  void PrintCounters();
  double ElapsedSeconds(std::chrono::steady_clock::time_point since) const;
  void DrawLive(bool force);
  void ClearLive();
  std::string LiveLine(std::size_t columns) const;
  int LiveColumns() const;
  void CheckOutput(std::FILE *stream);

  TerminalSettings settings;
  std::unique_ptr<JsonReport> json;

  mutable std::mutex mutex;
  std::atomic<bool> stopRequested{false};
  std::atomic<int> stopSignal{0}; ///< the first signal that asked for a stop, or 0
  std::atomic<bool> outputFailed{false};
  std::atomic<int> outputError{0};

  std::string caption;
  std::string diskText;
  std::string fileText;
  RunStatistics counters; ///< the run's counters as last told
  int fileRange = 0;
  int filePosition = 0;
  long long pumpsInPhase = 0;        ///< candidates yielded while scanning
  DocumentProgress documentProgress; ///< of the compaction phase in hand
  Phase phase = Phase::idle;
  bool shown = false;
  bool announceCompaction = false;
  bool finished = false;
  std::string lastMessage;
  long long temporaryFilesSwept = 0; ///< abandoned temporary copies removed (or found)
  long long leftoverFiles = 0;       ///< files of the copies' name that are no copies

  std::chrono::steady_clock::time_point runStarted;   ///< when the view was made
  std::chrono::steady_clock::time_point phaseStarted; ///< when compacting began

  bool liveOnScreen = false;
  bool liveStale = false;
  std::chrono::steady_clock::time_point lastDraw;
};

/// Runs the compaction over `source` with `view`, tells the view how it
/// ended (Finish) and answers the ending.
RunEnding RunToItsEnd(const RunOptions &options, BaseEntrySource &source, TerminalView &view);

} // namespace velkor::cli
