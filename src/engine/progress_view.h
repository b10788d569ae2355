//===- engine/progress_view.h - What a run shows and asks of its window ---===//
///
/// \file
/// The engine calls it from the run's thread only (workers that compact
/// documents side by side never touch it) and talks to the screen only
/// through this interface: the Qt progress dialog implements it, velkor-cli
/// implements it on a terminal, and the tests record it. It holds no Qt type.
/// Texts are NUL-terminated byte strings (paths are the file system's bytes);
/// a front end decodes them for display. What a front end may act upon (the
/// phase, the counters, each document's outcome and its reason, the ending)
/// comes as data; a view never needs to read a display text back.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "cfb/error.h"
#include "engine/run_statistics.h"
#include "fs/temp_file.h"

#include <cstdint>
#include <optional>
#include <string>

/// What a base entry is doing; the window's status line shows it ("Scanning",
/// "Compressing": PhaseText in run_messages.h).
enum class RunPhase {
  scanning,    ///< collecting the candidates of a drive or folder
  compressing, ///< compacting them one by one, in estimate runs as well
};

/// How a run ended.
enum class RunEnding {
  complete, ///< "Process is complete" was shown
  message,  ///< another message of the run's own ended it ("Create tmp
            ///< document error", "No items were selected", ...)
  stopped,  ///< "Process was stopped" was shown: the user asked for it
  error,    ///< an exception of the file system or the compound-file
            ///< library ended it; the run showed no message of its own
};

/// What happened to one candidate that the compaction phase took up.
enum class DocumentOutcome {
  replaced,    ///< compressing run: the smaller copy took the document's place
  wouldShrink, ///< estimate run: the copy was smaller, the document is unchanged
  notSmaller,  ///< the copy was not smaller; the document is unchanged
  passedOver,  ///< not a usable compound document, in use, or not safe to replace
  endedRun,    ///< an error with this document ended the run; it is unchanged
  /// compressing run: the smaller copy took the document's place, then a
  /// later step (flushing the folder, removing the old file) failed and
  /// ended the run; counted as compressed
  replacedThenEndedRun,
};

/// Why a candidate was passed over, or what ended the run with it in hand.
/// To add a reason, add one line here; a reason that has no value of its
/// own is `other`, and its text in DocumentReport::reason says it all.
enum class PassOverReason {
  none,                 ///< not passed over
  other,                ///< known by its text only
  tooLarge,             ///< 4 GiB or larger: never taken up
  cannotExamine,        ///< its status cannot be read (systemError)
  notTheScannedFile,    ///< the path no longer leads to the file the scan found
  directory,            ///< a directory that the masks selected
  notRegularFile,       ///< a device, FIFO, socket or link
  notCompoundDocument,  ///< the compound-file library refused it (refusal)
  inUse,                ///< another program holds a write lock on it
  cannotOpen,           ///< it cannot be opened (systemError)
  changedWhileOpening,  ///< it changed between its examination and its opening
  hardLinks,            ///< more than one name: replacing one would split them
  attributesRefused,    ///< the copy cannot be given its owner, permissions or
                        ///< attributes (systemError when known)
  copyFailed,           ///< "Create tmp document error": the copy could not be
                        ///< written (refusal or systemError)
  copyNotCreated,       ///< no copy can be created in its folder (systemError)
  runError,             ///< another error of the file system ended the run
                        ///< (systemError when known)
  openInAnotherProgram, ///< another program has it open for writing (its
                        ///< lease was refused or broke)
  openInOfficeProgram,  ///< an office program's owner file lies beside it
  copyDiffers,          ///< the copy did not read back as the document
  changedRecently,      ///< modified or its status changed within the run's
                        ///< minimum age, or in the future (recent_change.h)
};

/// The identifier of an outcome in reports and logs: "replaced",
/// "wouldShrink", "notSmaller", "passedOver", "endedRun",
/// "replacedThenEndedRun".
const char *OutcomeName(DocumentOutcome outcome);

/// What the listing says of a file the sweep found, after its path:
/// "abandoned temporary file, removed", "abandoned temporary file, would be
/// removed", or for a leftover "leftover, kept: not a temporary copy (it may
/// be a document's old file); look at it".
const char *TempFileFindingText(TempFileFinding finding);

/// The identifier of an ending: "complete", "stopped", "message", "error".
const char *EndingName(RunEnding ending);

/// One notification per candidate, for listings and reports (velkor-cli
/// --list and --json). Not part of what the progress window shows.
struct DocumentReport {
  std::string path;         ///< the path the run used: base entry + relative name
  std::uint64_t sizeBefore; ///< the size the scan saw
  std::uint64_t sizeAfter;  ///< the fresh copy's size; 0 when none was made
  DocumentOutcome outcome;
  /// Why it was passed over or ended the run, as listings show it; empty
  /// otherwise. Built from the fields below where they apply.
  std::string reason;
  PassOverReason passOver = PassOverReason::none;
  /// The compound-file library's reason for refusing the file, when it did.
  std::optional<cfb::Reason> refusal = std::nullopt;
  /// The system's error number (errno) behind the reason, or 0.
  int systemError = 0;
  /// Bytes the run read from the document: its header and tables, and for
  /// a copy that was written its streams too, once for the copy and once
  /// for the check that reads it back against the document. 0 when it was
  /// never opened.
  std::uint64_t bytesRead = 0;
  /// The size of the copy written for it, whether or not the copy then
  /// took its place; 0 when none was written (a copy that cannot be
  /// smaller, and every estimate, are only planned).
  std::uint64_t bytesWritten = 0;
};

/// How far the compaction phase of one entry is, for a view that shows a
/// bar, a rate and the time left.
struct DocumentProgress {
  /// Candidates taken in hand, the newest being number `started` (from 1).
  int started = 0;
  /// Of them, the first ones done.
  int finished = 0;
  /// The sizes the scan saw of those first `finished` candidates.
  std::uint64_t finishedBytes = 0;
  /// The sizes the scan saw of all the entry's candidates.
  std::uint64_t totalBytes = 0;
};

/// The run's window: two bars, three text lines, seven counters, a stop flag,
/// plus the few services of the desktop the run needs (pumping events, a modal
/// message, disabling the main window while it works).
class ProgressView {
public:
  virtual ~ProgressView() = default;

  /// Creates the window, hidden. False when it cannot be made; the run then
  /// shows "Can not open progress form" and ends.
  virtual bool Create() = 0;
  /// Destroys the window, shown or hidden.
  virtual void Destroy() = 0;
  virtual void Show() = 0;

  virtual void SetCaption(const char *text) = 0;
  /// Bars: the range is 0 .. count; a position outside it shows as the nearest end.
  virtual void SetDiskRange(int count) = 0;
  virtual void SetDiskPosition(int position) = 0;
  virtual void SetFileRange(int count) = 0;
  virtual void SetFilePosition(int position) = 0;
  virtual void SetDiskText(const char *text) = 0;
  virtual void SetFileText(const char *text) = 0;
  /// The phase of the entry in hand; the window shows PhaseText(phase).
  virtual void SetPhase(RunPhase phase) = 0;
  /// The run's counters; the window shows FormatCounter of each field.
  virtual void SetCounters(const RunStatistics &statistics) = 0;
  /// The compaction phase's progress (see DocumentProgress). Told before
  /// each candidate is taken in hand and, with several workers, whenever
  /// documents finish.
  virtual void SetDocumentProgress(const DocumentProgress &progress) { (void)progress; }
  /// The same without the candidates' sizes.
  void SetDocumentProgress(int started, int finished) {
    SetDocumentProgress(DocumentProgress{started, finished, 0, 0});
  }

  /// True once the user asked the run to stop (Stop, Escape, close, Ctrl-C).
  virtual bool StopRequested() const = 0;
  /// Lets waiting user events run (painting, Stop); never starts a new run.
  virtual void PumpMessages() = 0;
  /// A modal message with the program's caption and an OK button.
  virtual void ShowMessage(const char *text) = 0;
  /// The main window is disabled for the length of a run.
  virtual void EnableMainWindow(bool enable) = 0;

  /// Told once for every candidate of the compaction phase, also for one
  /// that is not taken up (4 GiB or larger) and for the document in hand
  /// when an error ends the run (endedRun, with the error as reason).
  /// `statistics` are the run's counters once the candidate is counted.
  virtual void DocumentDone(const DocumentReport &report, const RunStatistics &statistics) {
    (void)report;
    (void)statistics;
  }

  /// Told once when a run has ended, however it ended, after its message
  /// (if any) was shown and its window destroyed: how it ended and the run's
  /// real counters at that moment (all zero when it ended before counting).
  /// The progress window is gone by then; velkor-cli prints them.
  virtual void RunEnded(RunEnding ending, const RunStatistics &statistics) {
    (void)ending;
    (void)statistics;
  }

  /// Told once for every file of the temporary copies' name (vkrXXXX.tmp)
  /// that the sweep of a folder the compaction phase works in found, `path`
  /// as DocumentDone gives paths: an abandoned copy a killed run left,
  /// removed by a compressing run or only found by an estimate, or a
  /// leftover that is no copy of ours (a document's old file that a killed
  /// or failed replacement left under the copy's name), kept for the user
  /// to look at.
  virtual void TemporaryFileSwept(const std::string &path, TempFileFinding finding) {
    (void)path;
    (void)finding;
  }
};
