//===- engine/compaction_run.h - The whole job behind the Start button ----===//
///
/// \file
/// CompactionRun reads the run's options, builds the mask set, decides the
/// base entries, opens the progress view and then, base entry by base entry,
/// collects the candidates (the scan) and hands each to CompactDocument (the
/// compaction, with one or several workers: compaction_phase.h), keeping
/// the run's counters. It runs synchronously on the calling thread, which
/// alone talks to the view, and keeps the window alive through PumpMessages.
///
/// Endings:
///   - normal: "Process is complete" has been shown; the function returns;
///   - a message of the run's own ("Process was stopped", "No items were
///     selected", ...): it has been shown; UserAbort is thrown;
///   - an exception of the core or file-system classes: the run ends with the
///     same clean-up, and the exception reaches the caller nested in a
///     RunFailure when it happened inside a base entry (see run_failure.h;
///     DescribeException gives the text to show).
///
/// Whatever the ending, the view is told it last, as data, with the run's
/// real counters (ProgressView::RunEnded).
///
/// The clean-up of every ending runs in this order, each step only when the
/// run got that far: the document in hand (its temporary copy is removed),
/// the walker, the current directory restored, the candidate list, the main
/// window enabled again, the progress view destroyed. Files already
/// compacted stay compacted.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/lists.h"
#include "core/byte_string.h"

#include <chrono>

class ProgressView;

/// The main window's options, read once when Start is pressed.
struct RunOptions {
  bool allFiles = true;  ///< "All files": the single mask "*"
  bool recursive = true; ///< "Recursively": masks reach into subdirectories
  bool allDrives = true; ///< "Process all non-removable drives"
  bool compress = true;  ///< estimate mode unchecked
  /// The wildcards text, space-separated masks; read only when allFiles is
  /// false.
  TTString wildcards = "*.doc *.xls";
  /// How many documents are worked on at once (see compaction_phase.h);
  /// 1 is a strictly serial run, 0 chooses from the cores and the kind of
  /// drive of each base entry (worker_count.h).
  int workers = 0;
  /// Documents modified or changed less than this long ago (or in the
  /// future) are passed over as "changed recently"; 0 takes them all.
  std::chrono::seconds minAge{0};
};

/// One base of a run.
struct BaseEntry {
  /// A drive root ("/", "/home/"; "C:\" on Windows), a directory ending in a
  /// separator, or the path of one file.
  TTString path;
  /// The entry names a single file.
  bool isFile = false;
};

/// Where the base entries come from when the run does not take all drives:
/// the main window's browser, velkor-cli's arguments, a test's list.
class BaseEntrySource {
public:
  virtual ~BaseEntrySource() = default;
  /// Appends the chosen base entries to `entries`, in order. When nothing is
  /// chosen it shows "No items were selected" and throws UserAbort. The run
  /// calls it only after the masks have been checked, and before the
  /// progress view exists.
  virtual void SelectedBaseEntries(TTObjectList<BaseEntry> &entries) = 0;
};

/// A fixed list of base entries; an empty list answers with "No items were
/// selected" through the given view.
class BaseEntryList : public BaseEntrySource {
public:
  explicit BaseEntryList(ProgressView &view) : view(view) {}
  void Add(const TTString &path, bool isFile);
  void SelectedBaseEntries(TTObjectList<BaseEntry> &entries) override;

private:
  ProgressView &view;
  TTObjectList<BaseEntry> chosen;
};

/// The whole run; see the file comment for its endings.
void CompactionRun(const RunOptions &options, BaseEntrySource &source, ProgressView &view);

/// Lets the user's waiting events run: painting, and the progress window's
/// Stop. Called once for every candidate the scan yields and once before
/// every candidate compacted, and, while workers hold documents, every
/// 50 ms the run's thread waits for them; never inside a directory step or
/// a copy of the run's own thread.
void PumpMessages(ProgressView &view);

class TTDriveTable;

/// Appends the roots of the drives an all-drives run processes, in the drive
/// list's order, as directory base entries; a drive whose files another
/// processed drive's walk reaches is left out.
void DriveBaseEntries(const TTDriveTable &drives, TTObjectList<BaseEntry> &entries);

/// Whether a drive of this type (DRIVE_* of the drive list) is a base entry
/// of an all-drives run: fixed, remote and RAM disks are; unknown, missing,
/// removable and optical drives are not.
bool IsProcessedDriveType(unsigned driveType);
