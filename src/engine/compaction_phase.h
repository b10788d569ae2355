//===- engine/compaction_phase.h - The candidates of one entry, one or several at once ===//
///
/// \file
/// The compaction phase of one base entry: every candidate of its list goes
/// through CompactDocument, in list order.
///
/// With one worker the run's own thread does it all, one document after
/// another. With several, the run's thread hands the candidates, in order,
/// to worker threads and hands what each worker recorded on to the view in
/// candidate order, whatever order the documents finish in. Workers read,
/// copy, check and flush side by side, but a copy takes its document's
/// place only once every earlier candidate is finished (DocumentSink::
/// AwaitTurn), so documents are replaced in candidate order. The view
/// therefore sees the same reports and counters as in a serial run; the
/// window shows the name of the document most recently taken up, and its
/// bars advance as documents finish. One document (by the scan's device and
/// inode) is never in two workers' hands: when the list reaches it again,
/// its next visit waits until the earlier one is done.
///
/// A stop (the view's StopRequested, checked before each candidate is taken
/// in hand) starts no new document; the documents in hand are finished, each
/// replaced whole or left as it was, and reported, before "Process was
/// stopped" ends the run. An error that ends the run with one document
/// leaves what a serial run leaves: from that moment no candidate is handed
/// out, a later document in hand replaces nothing (its copy is removed) and
/// is neither counted nor reported, and the first such error in candidate
/// order ends the run.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"
#include "engine/recent_change.h"

#include <functional>
#include <string>

class ProgressView;
class RepeatedDocuments;
class TTCandidate;
class TTCandidateList;
struct RunStatistics;

/// The window's file line and bar are written for every 100th candidate of
/// a scan or compaction only.
inline constexpr int kDisplayEvery = 100;

/// What the compaction phase of one base entry works with.
struct CompactionPhase {
  const TTCandidateList &candidates;
  bool compress;
  /// Prefixes the paths of the reports (see CompactDocument).
  const TTString &basePath;
  RepeatedDocuments &repeated;
  RunStatistics &statistics;
  ProgressView &view;
  /// Called on the run's thread right before a candidate is taken in hand;
  /// false passes the candidate by: it is not taken up, counted or reported.
  std::function<bool(const TTCandidate &)> beforeDocument;
  /// The name of the document whose error ends the run, for its report.
  std::string &documentInHand;
  /// What each document must satisfy to be taken up (CompactDocument).
  DocumentRules rules;
};

/// Works the candidates with `workers` workers (1: on the run's own thread,
/// strictly one after another). Throws UserAbort after a message of the
/// run's own, or the exception that ended the run with a document.
void CompactCandidates(CompactionPhase &phase, int workers);
