//===- engine/document_sink.h - Where the compaction of one document reports ===//
///
/// \file
/// CompactDocument tells what it does through a DocumentSink: in a serial run
/// straight to the progress view (ViewSink), in a run with several workers
/// into the document's own record, which the run's thread hands on to the
/// view in candidate order (see document_workers.h). The calls come in the
/// order the view is to see them.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <functional>

struct DocumentReport;
struct RunStatistics;
class ProgressView;

class DocumentSink {
public:
  virtual ~DocumentSink() = default;
  /// The candidate was taken up as a compound document; the window shows
  /// its name (`fullName`, relative to the current directory).
  virtual void Started(const char *fullName) = 0;
  /// The counters changed; the window shows them.
  virtual void CountersChanged(const RunStatistics &statistics) = 0;
  /// What became of the candidate, once; `statistics` as it is counted.
  virtual void Done(const DocumentReport &report, const RunStatistics &statistics) = 0;
  /// A message of the run's own ends it: shown, then UserAbort is thrown.
  [[noreturn]] virtual void EndWithMessage(const char *text) = 0;

  /// What a copy that is about to take its document's place learns.
  enum class Turn {
    yours,    ///< every earlier candidate is finished: replace now
    runEnded, ///< an earlier candidate ended the run: replace nothing, remove
              ///< the copy, and neither count nor report the document
  };
  /// Waits until every candidate before this one is finished, so that
  /// documents are replaced in candidate order and a run that an error ends
  /// leaves the files of a serial run. `whileWaiting` is called every few
  /// milliseconds while it waits; an exception it throws ends the wait and
  /// reaches the caller. A serial run never waits.
  virtual Turn AwaitTurn(const std::function<void()> &whileWaiting) {
    (void)whileWaiting;
    return Turn::yours;
  }
};

/// The serial run's sink: every call goes to the view at once.
class ViewSink : public DocumentSink {
public:
  explicit ViewSink(ProgressView &view) : view(view) {}
  void Started(const char *fullName) override;
  void CountersChanged(const RunStatistics &statistics) override;
  void Done(const DocumentReport &report, const RunStatistics &statistics) override;
  [[noreturn]] void EndWithMessage(const char *text) override;

private:
  ProgressView &view;
};
