//===- tests/support/recording_view.h - A progress view that writes a log -===//
///
/// \file
/// Records every call the run makes on its window as one line of text, as
/// the window would show it ("status Scanning", "counter ratio  77.5%",
/// "message Process is complete"), keeps the last text of every field, the
/// DocumentDone reports and the endings, and lets a test act at chosen
/// moments: stop after the n-th pump, or run a hook when a phase begins or a
/// file text is written.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "engine/progress_view.h"

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace velkor::test {

class RecordingView : public ProgressView {
public:
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
  bool StopRequested() const override { return stopRequested; }
  void PumpMessages() override;
  void ShowMessage(const char *text) override;
  void EnableMainWindow(bool enable) override;
  void DocumentDone(const DocumentReport &report, const RunStatistics &statistics) override;
  void RunEnded(RunEnding ending, const RunStatistics &statistics) override;

  /// The lines recorded so far.
  std::vector<std::string> log;
  /// The messages shown, in order.
  std::vector<std::string> messages;
  /// Reports of DocumentDone, in order.
  std::vector<DocumentReport> reports;
  /// The last text of each counter, by name ("totalFiles", ..., "ratio").
  std::map<std::string, std::string> counters;
  /// The endings told, in order (one per run), and the counters told with
  /// the last one.
  std::vector<RunEnding> endings;
  RunStatistics endStatistics;
  /// Every counter write, in order.
  std::vector<std::pair<CounterField, std::string>> counterWrites;
  std::string fileText = "File";
  int pumps = 0;
  int counterRefreshes = 0;
  bool created = false;
  bool shown = false;
  bool mainEnabled = true;
  bool stopRequested = false;

  /// Create answers false when set.
  bool failCreate = false;
  /// When not 0, the pump with this number (from 1) sets the stop flag.
  int stopAtPump = 0;
  /// Called with every phase before it is recorded.
  std::function<void(RunPhase)> onPhase;
  /// Called with every file text before it is recorded.
  std::function<void(const std::string &)> onFileText;

  /// The lines that start with `prefix`.
  std::vector<std::string> Lines(const std::string &prefix) const;
  /// The report of the document whose path ends with `suffix`; fails the
  /// test when there is none.
  const DocumentReport &ReportFor(const std::string &suffix) const;
};

const char *CounterName(CounterField field);

} // namespace velkor::test
