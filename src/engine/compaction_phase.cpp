//===- engine/compaction_phase.cpp - The candidates of one entry, one or several at once =//

#include "engine/compaction_phase.h"

#include "engine/candidate.h"
#include "engine/candidate_list.h"
#include "engine/compact_document.h"
#include "engine/compaction_run.h"
#include "engine/document_sink.h"
#include "engine/progress_view.h"
#include "engine/run_messages.h"
#include "engine/run_statistics.h"
#include "engine/user_abort.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

/// How long the run's thread waits for a worker before it lets the
/// window's events run again.
constexpr std::chrono::milliseconds kPumpInterval{50};

/// How often a copy waiting for its turn looks at its document's lease.
constexpr std::chrono::milliseconds kTurnLookInterval{10};

/// How far the candidates handed out may run ahead of the ones reported,
/// for each worker: bounds the finished records kept while one document
/// takes long.
constexpr std::int32_t kAheadPerWorker = 16;

using DocumentKey = std::pair<std::uint64_t, std::uint64_t>;

DocumentKey KeyOf(const TTCandidate &candidate) { return {candidate.device, candidate.inode}; }

void Serially(CompactionPhase &phase) {
  ProgressView &view = phase.view;
  ViewSink sink(view);
  const std::int32_t count = phase.candidates.Count();
  const std::uint64_t totalBytes = phase.candidates.TotalSize();
  std::uint64_t finishedBytes = 0;
  int countdown = 0;
  TTCandidate candidate;
  for (std::int32_t j = 0; j < count; ++j) {
    if (countdown == 0) {
      view.SetFileText("");
      view.SetFilePosition(j);
      countdown = kDisplayEvery;
    }
    --countdown;
    PumpMessages(view);
    if (view.StopRequested())
      AbortWithMessage(view, RunMessage::kStopped, RunEnding::stopped);
    phase.candidates.Get(j, candidate);
    if (!phase.beforeDocument(candidate)) {
      finishedBytes += candidate.Size();
      continue;
    }
    phase.documentInHand = candidate.FullName().CStr();
    view.SetDocumentProgress({j + 1, j, finishedBytes, totalBytes});
    CompactDocument(candidate, phase.compress, phase.statistics, sink, phase.basePath,
                    &phase.repeated, phase.rules);
    phase.documentInHand.clear();
    finishedBytes += candidate.Size();
  }
}

/// What a worker recorded of one document, for the run's thread to hand on
/// to the view: what the document added to the counters, then the calls in
/// the order the view is to see them.
struct DocumentRecord {
  std::int32_t index = 0;
  TTCandidate candidate;
  RunStatistics counted;
  struct Call {
    bool done; ///< DocumentDone with `report`; otherwise SetCounters
    DocumentReport report;
  };
  std::vector<Call> calls;
  /// A message of the run's own that ended the run with this document.
  const char *message = nullptr;
  /// The error that ended the run with this document.
  std::exception_ptr error;
  /// Not started: an earlier document had ended the run.
  bool skipped = false;

  bool EndsRun() const { return message != nullptr || error != nullptr; }
};

class Workers;

/// A worker's sink: records what the view is to see, and tells the run's
/// thread at once which document was taken up last.
class RecordingSink : public DocumentSink {
public:
  RecordingSink(DocumentRecord &record, Workers &workers) : record(record), workers(workers) {}
  void Started(const char *fullName) override;
  void CountersChanged(const RunStatistics &) override {
    record.calls.push_back({false, DocumentReport{}});
  }
  void Done(const DocumentReport &report, const RunStatistics &) override {
    record.calls.push_back({true, report});
  }
  [[noreturn]] void EndWithMessage(const char *text) override {
    record.message = text;
    throw UserAbort{RunEnding::message};
  }
  Turn AwaitTurn(const std::function<void()> &whileWaiting) override;

private:
  DocumentRecord &record;
  Workers &workers;
};

/// The worker threads of one compaction phase and the two queues between
/// them and the run's thread: records to work, and records worked.
///
/// `count` documents are worked at once. A copy that waits for its turn to
/// take its document's place does no work, so its thread does not count
/// among them: the run hands out another document, to one of as many
/// threads again, and the disk and processors stay busy while copies wait
/// behind a slow document.
class Workers {
public:
  Workers(int count, const CompactionPhase &phase) : phase(phase), working(count) {
    threads.reserve(static_cast<std::size_t>(2 * count));
    try {
      for (int i = 0; i < 2 * count; ++i)
        threads.emplace_back([this] { Work(); });
    } catch (const std::system_error &) {
      // The system has no more threads to give: work with those there are.
    }
  }
  /// Lets the workers finish the documents they hold, then joins them. A
  /// document handed over but not yet taken up is not started: the run's
  /// thread only leaves early on an error of its own.
  ~Workers() {
    {
      std::lock_guard lock(mutex);
      closing = true;
      queue.clear();
    }
    workReady.notify_all();
    for (std::thread &thread : threads)
      thread.join();
  }
  Workers(const Workers &) = delete;
  Workers &operator=(const Workers &) = delete;

  /// How many documents are worked at once.
  int Count() const { return std::min(working, Threads()); }
  /// How many documents may be in hand at once, waiting ones included.
  int Threads() const { return static_cast<int>(threads.size()); }
  /// How many copies wait for their turn now.
  int Waiting() {
    std::lock_guard lock(mutex);
    return waitingForTurn;
  }

  void Hand(std::unique_ptr<DocumentRecord> record) {
    {
      std::lock_guard lock(mutex);
      outstanding.insert(record->index);
      queue.push_back(std::move(record));
    }
    workReady.notify_one();
  }

  /// True once a document has ended the run: nothing more is handed out.
  bool RunEnded() {
    std::lock_guard lock(mutex);
    return endingIndex != kNone;
  }

  /// Waits until every candidate before `index` is finished; see
  /// DocumentSink::AwaitTurn.
  DocumentSink::Turn AwaitTurn(std::int32_t index, const std::function<void()> &whileWaiting) {
    WaitingForTurn waiting(*this);
    for (;;) {
      {
        std::unique_lock lock(mutex);
        const auto earlierFinished = [&] {
          return endingIndex < index || *outstanding.begin() == index;
        };
        turns.wait_for(lock, kTurnLookInterval, earlierFinished);
        if (endingIndex < index)
          return DocumentSink::Turn::runEnded;
        if (earlierFinished())
          return DocumentSink::Turn::yours;
      }
      whileWaiting();
    }
  }

  /// Waits until a document is finished or taken up, or `timeout` has
  /// passed; moves the finished records to `done` and gives the name of the
  /// document taken up last since the previous call (empty when none).
  std::string Collect(std::chrono::milliseconds timeout,
                      std::vector<std::unique_ptr<DocumentRecord>> &done) {
    std::unique_lock lock(mutex);
    news.wait_for(lock, timeout,
                  [this] { return !finished.empty() || !startedName.empty() || slotFreed; });
    slotFreed = false;
    for (auto &record : finished)
      done.push_back(std::move(record));
    finished.clear();
    return std::exchange(startedName, std::string());
  }

  void NoteStarted(const char *fullName) {
    {
      std::lock_guard lock(mutex);
      startedName = fullName;
    }
    news.notify_one();
  }

private:
  void Work() {
    for (;;) {
      std::unique_ptr<DocumentRecord> record;
      {
        std::unique_lock lock(mutex);
        workReady.wait(lock, [this] { return closing || !queue.empty(); });
        if (queue.empty())
          return;
        record = std::move(queue.front());
        queue.pop_front();
        // A candidate after one that ended the run is not started: a serial
        // run would never have reached it.
        record->skipped = endingIndex < record->index;
      }
      if (!record->skipped) {
        RecordingSink sink(*record, *this);
        try {
          CompactDocument(record->candidate, phase.compress, record->counted, sink, phase.basePath,
                          &phase.repeated, phase.rules);
        } catch (const UserAbort &) {
          // The message is in the record.
        } catch (...) {
          record->error = std::current_exception();
        }
      }
      {
        std::lock_guard lock(mutex);
        outstanding.erase(record->index);
        if (record->EndsRun())
          endingIndex = std::min(endingIndex, record->index);
        finished.push_back(std::move(record));
      }
      news.notify_one();
      turns.notify_all();
    }
  }

  const CompactionPhase &phase;
  std::mutex mutex;
  std::condition_variable workReady;
  std::condition_variable news;
  /// Told whenever a document finishes, for the copies waiting for their turn.
  std::condition_variable turns;
  static constexpr std::int32_t kNone = std::numeric_limits<std::int32_t>::max();
  /// The candidates handed out and not yet finished, by index.
  std::set<std::int32_t> outstanding;
  /// The first candidate (by index) that ended the run, or kNone.
  std::int32_t endingIndex = kNone;
  const int working;
  int waitingForTurn = 0;
  /// A copy began to wait for its turn: the run may hand out another.
  bool slotFreed = false;

  /// Counts a copy among the waiting ones for as long as it waits.
  class WaitingForTurn {
  public:
    explicit WaitingForTurn(Workers &workers) : workers(workers) {
      {
        std::lock_guard lock(workers.mutex);
        ++workers.waitingForTurn;
        workers.slotFreed = true;
      }
      workers.news.notify_one();
    }
    ~WaitingForTurn() {
      std::lock_guard lock(workers.mutex);
      --workers.waitingForTurn;
    }
    WaitingForTurn(const WaitingForTurn &) = delete;
    WaitingForTurn &operator=(const WaitingForTurn &) = delete;

  private:
    Workers &workers;
  };
  std::deque<std::unique_ptr<DocumentRecord>> queue;
  std::vector<std::unique_ptr<DocumentRecord>> finished;
  std::string startedName;
  bool closing = false;
  std::vector<std::thread> threads;
};

void RecordingSink::Started(const char *fullName) { workers.NoteStarted(fullName); }

DocumentSink::Turn RecordingSink::AwaitTurn(const std::function<void()> &whileWaiting) {
  return workers.AwaitTurn(record.index, whileWaiting);
}

void AddCounted(RunStatistics &statistics, const RunStatistics &counted) {
  statistics.totalFiles += counted.totalFiles;
  statistics.documentFiles += counted.documentFiles;
  statistics.compressedFiles += counted.compressedFiles;
  statistics.bytesBefore += counted.bytesBefore;
  statistics.bytesAfter += counted.bytesAfter;
}

/// Hands a worker's record on to the view, as a serial run would have told
/// it: every counter a document changes is changed before the view hears
/// of the document.
void Report(const DocumentRecord &record, CompactionPhase &phase) {
  AddCounted(phase.statistics, record.counted);
  for (const DocumentRecord::Call &call : record.calls) {
    if (call.done)
      phase.view.DocumentDone(call.report, phase.statistics);
    else
      RefreshCounters(phase.statistics, phase.view);
  }
}

/// The run's thread with several workers; see the header.
void InParallel(CompactionPhase &phase, Workers &workers) {
  ProgressView &view = phase.view;
  const std::int32_t count = phase.candidates.Count();
  const std::int32_t ahead = kAheadPerWorker * workers.Count();
  std::map<std::int32_t, std::unique_ptr<DocumentRecord>> unreported;
  std::set<DocumentKey> inHand;
  std::int32_t next = 0;     // the next candidate to hand out
  std::int32_t reported = 0; // the candidates before it have been reported
  const std::uint64_t totalBytes = phase.candidates.TotalSize();
  std::uint64_t reportedBytes = 0; // the scan's sizes of the candidates reported
  int busy = 0;
  bool stopping = false;
  std::unique_ptr<DocumentRecord> ending;
  view.SetFilePosition(0);

  for (;;) {
    if (workers.RunEnded())
      stopping = true;
    while (!stopping && next < count && busy - workers.Waiting() < workers.Count() &&
           busy < workers.Threads() && next - reported < ahead) {
      auto record = std::make_unique<DocumentRecord>();
      phase.candidates.Get(next, record->candidate);
      const DocumentKey key = KeyOf(record->candidate);
      if (inHand.count(key) != 0)
        break; // the same document again: after its earlier visit is done
      if (next % kDisplayEvery == 0)
        view.SetFileText("");
      PumpMessages(view);
      if (view.StopRequested()) {
        stopping = true;
        break;
      }
      record->index = next;
      if (!phase.beforeDocument(record->candidate)) {
        // Not taken up: nothing to work or report. It takes its turn among
        // the reports with nothing in it.
        if (reported == next) {
          ++reported;
          reportedBytes += record->candidate.Size();
        } else
          unreported.emplace(next, std::move(record));
        ++next;
        continue;
      }
      inHand.insert(key);
      workers.Hand(std::move(record));
      ++next;
      ++busy;
      view.SetDocumentProgress({next, reported, reportedBytes, totalBytes});
    }
    if (busy == 0 && (stopping || next == count))
      break;

    std::vector<std::unique_ptr<DocumentRecord>> done;
    const std::string started = workers.Collect(kPumpInterval, done);
    if (!started.empty())
      view.SetFileText(started.c_str());
    if (done.empty()) {
      PumpMessages(view);
      if (view.StopRequested())
        stopping = true;
      continue;
    }
    for (auto &record : done) {
      inHand.erase(KeyOf(record->candidate));
      --busy;
      const std::int32_t index = record->index;
      unreported.emplace(index, std::move(record));
    }
    // Nothing after the document that ended the run is reported or
    // counted, as in a serial run; a copy of a later document was removed
    // without replacing anything.
    for (auto first = unreported.begin();
         !ending && first != unreported.end() && first->first == reported;
         first = unreported.begin()) {
      std::unique_ptr<DocumentRecord> record = std::move(first->second);
      unreported.erase(first);
      Report(*record, phase);
      ++reported;
      reportedBytes += record->candidate.Size();
      if (reported % kDisplayEvery == 0)
        view.SetFilePosition(reported);
      view.SetDocumentProgress({next, reported, reportedBytes, totalBytes});
      if (record->EndsRun() && !ending) {
        ending = std::move(record);
        stopping = true;
      }
    }
  }

  if (ending) {
    phase.documentInHand = ending->candidate.FullName().CStr();
    if (ending->message != nullptr)
      AbortWithMessage(view, ending->message);
    std::rethrow_exception(ending->error);
  }
  if (next < count)
    AbortWithMessage(view, RunMessage::kStopped, RunEnding::stopped);
}

} // namespace

void CompactCandidates(CompactionPhase &phase, int workers) {
  if (workers > 1 && phase.candidates.Count() > 1) {
    Workers pool(std::min<int>(workers, phase.candidates.Count()), phase);
    if (pool.Count() > 1) {
      InParallel(phase, pool);
      return;
    }
  }
  Serially(phase);
}
