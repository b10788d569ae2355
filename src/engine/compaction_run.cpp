//===- engine/compaction_run.cpp - The whole job behind the Start button --===//

#include "engine/compaction_run.h"

#include "core/exceptions.h"
#include "engine/candidate.h"
#include "engine/candidate_list.h"
#include "engine/compaction_phase.h"
#include "engine/document_identity.h"
#include "engine/folder_checks.h"
#include "engine/mask_walker.h"
#include "engine/progress_view.h"
#include "engine/run_failure.h"
#include "engine/run_messages.h"
#include "engine/run_statistics.h"
#include "engine/user_abort.h"
#include "engine/worker_count.h"
#include "fs/drive_kind.h"
#include "fs/drive_list.h"
#include "fs/file_operations.h"
#include "fs/mask_set.h"
#include "fs/path_names.h"
#include "fs/temp_file.h"

#include <algorithm>
#include <climits>
#include <ctime>
#include <exception>
#include <numeric>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

/// Holds the run's claim on the window: once the progress view exists it is
/// destroyed, and once the main window is disabled it is enabled again,
/// however the run ends (main window first, then the progress view).
class RunWindow {
public:
  explicit RunWindow(ProgressView &view) : view(view) {}
  RunWindow(const RunWindow &) = delete;
  RunWindow &operator=(const RunWindow &) = delete;
  ~RunWindow() {
    if (mainDisabled)
      view.EnableMainWindow(true);
    if (created)
      view.Destroy();
  }

  void Create() {
    if (!view.Create())
      AbortWithMessage(view, RunMessage::kCannotOpenProgress);
    created = true;
  }
  void DisableMainWindow() {
    view.EnableMainWindow(false);
    mainDisabled = true;
  }

private:
  ProgressView &view;
  bool created = false;
  bool mainDisabled = false;
};

/// Where the run is inside a base entry, for the report of an error that
/// ends it there.
struct EntryPlace {
  std::string directory; ///< the entry's directory as the user gave it
  std::string document;  ///< the candidate being compacted, if any
};

/// Fills the run's mask set from the options. Wildcards are split at spaces
/// only; a tab inside them is an ordinary mask byte.
void FillMaskSet(const RunOptions &options, TTMaskSet &masks, ProgressView &view) {
  if (options.allFiles) {
    masks.Add(TTAllEntriesMask(), true, options.recursive);
    return;
  }
  TTString wildcards = options.wildcards;
  wildcards.Trim();
  if (wildcards.IsEmpty())
    AbortWithMessage(view, RunMessage::kNoWildcards);
  TTString token;
  for (std::int32_t i = 0; i <= wildcards.Length(); ++i) {
    char c = wildcards.At(i);
    if (c == ' ' || c == '\0') {
      if (!token.IsEmpty())
        masks.Add(token, true, options.recursive);
      token.Clear();
    } else {
      token += c;
    }
  }
}

/// Collects the candidates of one walk into `candidates`, pumping messages
/// and checking the stop flag after each. `showNames` sets fileText to the
/// 1st, 101st, 201st ... candidate.
void Scan(TTMaskWalker &walker, TTCandidateList &candidates, bool showNames, ProgressView &view) {
  int countdown = 0;
  TTCandidate candidate;
  while (walker.Next(candidate)) {
    PumpMessages(view);
    if (view.StopRequested())
      AbortWithMessage(view, RunMessage::kStopped, RunEnding::stopped);
    candidates.Add(candidate);
    if (!showNames)
      continue;
    if (countdown == 0) {
      view.SetFileText(candidate.FullName().CStr());
      countdown = kDisplayEvery;
    }
    --countdown;
  }
}

/// The sweep of abandoned temporary copies over a run: the folders swept,
/// by device and inode, so that each is swept once however often it is met,
/// and the copies the sweep found there, which are no candidates.
struct SweptFolders {
  std::set<std::pair<std::uint64_t, std::uint64_t>> folders;
  /// By the folder's device and inode and the copy's name.
  std::set<std::tuple<std::uint64_t, std::uint64_t, std::string>> copies;
};

/// Sweeps the folder of `candidate` once per run: a compressing run removes
/// the abandoned temporary copies there, an estimate only finds them. Gives
/// false when the candidate is one of the copies the sweep found, whether
/// now or at an earlier visit of its folder: such a copy is reported by the
/// sweep alone and is not taken up, in either mode.
bool SweepFolderOnce(const TTCandidate &candidate, const RunOptions &options,
                     const timespec &runStart, const TTString &reportBase, SweptFolders &swept,
                     ProgressView &view) {
  const TTString &directory = candidate.directory;
  std::uint64_t device = 0, inode = 0;
  if (!FolderKeyOf(directory, device, inode))
    return true;
  if (swept.folders.emplace(device, inode).second) {
    SweepAbandonedTempFiles(
        directory, kTempFilePrefix, runStart, options.compress,
        [&](const TTString &name, TempFileFinding finding) {
          TTString folder, copy;
          SplitPath(name, folder, copy);
          swept.copies.emplace(device, inode, copy.CStr());
          view.TemporaryFileSwept(
              reportBase.CStr() + std::string(SkipCurrentDirPrefix(name.CStr())), finding);
        });
  }
  return swept.copies.count({device, inode, candidate.name.CStr()}) == 0;
}

/// Marks the documents `candidates` holds more than once in `repeated`.
/// Sorts the candidates' numbers by device and inode: 4 bytes a candidate
/// while the list is held, not a copy of every key.
void FindRepeatedDocuments(const TTCandidateList &candidates, RepeatedDocuments &repeated) {
  std::vector<std::int32_t> order(static_cast<std::size_t>(candidates.Count()));
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
    return candidates.FileKey(a) < candidates.FileKey(b);
  });
  for (std::size_t k = 1; k < order.size(); ++k) {
    const auto key = candidates.FileKey(order[k]);
    if (key == candidates.FileKey(order[k - 1]))
      repeated.Expect(key.first, key.second);
  }
}

/// One base entry: its scan, then its compaction phase. `repeated` is the
/// run's record of documents reached more than once; `laterEntries`, whether
/// more base entries follow.
void ProcessEntry(const BaseEntry &entry, int index, bool laterEntries, const RunOptions &options,
                  const TTMaskSet &masks, RunStatistics &statistics, ProgressView &view,
                  EntryPlace &place, const timespec &runStart, SweptFolders &swept,
                  RepeatedDocuments &repeated) {
  TTCandidateList candidates;
  // Held open, not by its path: a current directory deleted before or during
  // the run neither stops a run over absolute paths nor keeps it from
  // coming back.
  TTSavedDirectory saved;
  TTString reportBase;

  if (entry.isFile) {
    // A single file: its directory becomes current, and every file of the
    // same name in the tree below it is a candidate as well. The window's
    // lines and bars keep what they show.
    TTString directory, name;
    SplitPath(entry.path, directory, name);
    place.directory = directory.CStr();
    if (!directory.IsEmpty() && !SetCurrentDir(directory)) {
      TTString text =
          TTString(RunMessage::kCannotSetPrefix) + directory + RunMessage::kCannotSetSuffix;
      AbortWithMessage(view, text.CStr());
    }
    reportBase = directory;
    if (!name.IsEmpty()) {
      TTMaskSet fileMasks;
      // The picked file's name is a name, not a pattern: "r?.doc" takes
      // r?.doc alone, never r.doc or r1.doc.
      fileMasks.AddName(name, TTMaskKind::IncludeRecursive);
      TTMaskWalker walker(fileMasks);
      Scan(walker, candidates, false, view);
    }
  } else {
    view.SetDiskPosition(index);
    view.SetDiskText(entry.path.CStr());
    view.SetFileRange(1);
    view.SetFilePosition(0);
    view.SetPhase(RunPhase::scanning);
    place.directory = entry.path.CStr();
    if (!entry.path.IsEmpty() && !SetCurrentDir(entry.path)) {
      TTString text =
          TTString(RunMessage::kCannotSetPrefix) + entry.path + RunMessage::kCannotSetSuffix;
      AbortWithMessage(view, text.CStr());
    }
    reportBase = entry.path;
    TTMaskWalker walker(masks);
    // A drive's walk stays on its own file system: the other drives are
    // base entries of their own, and kernel file systems are no drives.
    walker.SetStayOnFileSystem(options.allDrives || CurrentDirectoryIsMountRoot());
    Scan(walker, candidates, true, view);
  }

  // The documents the list holds more than once: their second visit must
  // count as the first one's outcome makes it count, as must a visit of a
  // document an earlier entry reached.
  repeated.StartEntry(laterEntries);
  FindRepeatedDocuments(candidates, repeated);

  view.SetPhase(RunPhase::compressing);
  view.SetFileText("");
  view.SetFileRange(candidates.Count());
  CompactionPhase phase{candidates,
                        options.compress,
                        reportBase,
                        repeated,
                        statistics,
                        view,
                        [&](const TTCandidate &candidate) {
                          return SweepFolderOnce(candidate, options, runStart, reportBase, swept,
                                                 view);
                        },
                        place.document,
                        DocumentRules{options.minAge}};
  CompactCandidates(
      phase, options.workers > 0
                 ? std::min(options.workers, kMaxWorkers)
                 : AutomaticWorkerCount(DriveKindOf("."), options.compress, AvailableCores()));
  view.SetFilePosition(candidates.Count());
}

} // namespace

void BaseEntryList::Add(const TTString &path, bool isFile) {
  BaseEntry entry;
  entry.path = path;
  entry.isFile = isFile;
  chosen.AddCopy(entry);
}

void BaseEntryList::SelectedBaseEntries(TTObjectList<BaseEntry> &entries) {
  if (chosen.IsEmpty())
    AbortWithMessage(view, RunMessage::kNoItemsSelected);
  for (std::int32_t i = 0; i < chosen.Count(); ++i)
    entries.AddCopy(chosen.At(i));
}

void DriveBaseEntries(const TTDriveTable &drives, TTObjectList<BaseEntry> &entries) {
  const TTStringList &roots = drives.Roots();
  for (std::int32_t i = 0; i < roots.Count(); ++i) {
    if (!IsProcessedDriveType(drives.DriveType(roots.At(i))))
      continue;
    // A tree mounted twice (a bind mount, one file system at two places)
    // is walked once, from the drive that shows all of it.
    const TTString covering = drives.CoveringRoot(roots.At(i));
    if (!covering.IsEmpty() && IsProcessedDriveType(drives.DriveType(covering)))
      continue;
    BaseEntry entry;
    entry.path = roots.At(i);
    entry.isFile = false;
    entries.AddCopy(entry);
  }
}

bool IsProcessedDriveType(unsigned driveType) {
  switch (driveType) {
  case DRIVE_UNKNOWN:
  case DRIVE_NO_ROOT_DIR:
  case DRIVE_REMOVABLE:
  case DRIVE_CDROM:
    return false;
  default:
    return true; // fixed, remote, RAM disk and anything newer
  }
}

void PumpMessages(ProgressView &view) { view.PumpMessages(); }

namespace {

/// The run from its options to "Process is complete"; `statistics` are the
/// run's counters, zeroed once its window is shown.
void RunJob(const RunOptions &options, BaseEntrySource &source, ProgressView &view,
            RunStatistics &statistics) {
  // Preparing: nothing outside the run changes until the progress view
  // exists. The masks are checked before the base entries.
  TTMaskSet masks;
  FillMaskSet(options, masks, view);
  TTObjectList<BaseEntry> entries;
  if (options.allDrives) {
    try {
      DriveBaseEntries(*ReadDriveTable(), entries); // one reading
    } catch (...) {
      // The drive list's errors carry no name; name where it comes from.
      std::throw_with_nested(RunFailure(std::string(), DriveTableSource().CStr()));
    }
  } else {
    source.SelectedBaseEntries(entries);
  }
  const bool compress = options.compress;

  RunWindow window(view);
  window.Create();
  window.DisableMainWindow();
  view.SetCaption(compress ? RunCaption::kCompressing : RunCaption::kEstimating);
  statistics.Zero();
  view.SetDiskRange(entries.Count());
  view.Show();

  // Temporary copies last changed before this moment are not this run's.
  timespec runStart{};
  clock_gettime(CLOCK_REALTIME, &runStart);
  SweptFolders swept;
  RepeatedDocuments repeated;
  for (std::int32_t i = 0; i < entries.Count(); ++i) {
    EntryPlace place;
    try {
      ProcessEntry(entries.At(i), i, i + 1 < entries.Count(), options, masks, statistics, view,
                   place, runStart, swept, repeated);
    } catch (const UserAbort &) {
      throw;
    } catch (...) {
      // The entry's own clean-up has run; add where it happened and let the
      // error end the run.
      std::throw_with_nested(RunFailure(place.directory, place.document));
    }
  }

  view.SetDiskPosition(entries.Count());
  view.SetDiskText("");
  view.SetFileText("");
  RefreshCounters(statistics, view);
  view.ShowMessage(RunMessage::kComplete);
}

} // namespace

void CompactionRun(const RunOptions &options, BaseEntrySource &source, ProgressView &view) {
  // However the run ends, the view learns how, with the real counters, once
  // the run's own clean-up is done.
  RunStatistics statistics;
  try {
    RunJob(options, source, view, statistics);
  } catch (const UserAbort &abort) {
    view.RunEnded(abort.ending, statistics);
    throw;
  } catch (...) {
    view.RunEnded(RunEnding::error, statistics);
    throw;
  }
  view.RunEnded(RunEnding::complete, statistics);
}
