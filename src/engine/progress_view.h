//===- engine/progress_view.h - What a run shows and asks of its window ---===//
///
/// \file
/// The engine runs on the program's one thread and talks to the screen only
/// through this interface: the Qt progress dialog implements it, velkor-cli
/// implements it on a terminal, and the tests record it. It holds no Qt type.
/// Texts are NUL-terminated byte strings (paths are the file system's bytes);
/// a front end decodes them for display.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>

/// The seven counter fields of the progress window, in the order the run
/// refreshes them.
enum class CounterField {
  totalFiles,
  documentFiles,
  compressedFiles,
  bytesBefore,
  bytesAfter,
  bytesReduced,
  ratio,
};

/// What happened to one candidate that the compaction phase took up.
enum class DocumentOutcome {
  replaced,     ///< compressing run: the smaller copy took the document's place
  wouldShrink,  ///< estimate run: the copy was smaller, the document is unchanged
  notSmaller,   ///< the copy was not smaller; the document is unchanged
  passedOver,   ///< not a usable compound document, in use, or not safe to replace
};

/// One notification per candidate, for listings and reports (velkor-cli
/// --list and --json). Not part of what the progress window shows.
struct DocumentReport {
  std::string path;          ///< the path the run used: base entry + relative name
  std::uint64_t sizeBefore;  ///< the size the scan saw
  std::uint64_t sizeAfter;   ///< the fresh copy's size; 0 when none was made
  DocumentOutcome outcome;
  std::string reason;        ///< why it was passed over; empty otherwise
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

  virtual void SetCaption(const char* text) = 0;
  /// Bars: the range is 0 .. count; a position outside it shows as the nearest end.
  virtual void SetDiskRange(int count) = 0;
  virtual void SetDiskPosition(int position) = 0;
  virtual void SetFileRange(int count) = 0;
  virtual void SetFilePosition(int position) = 0;
  virtual void SetDiskText(const char* text) = 0;
  virtual void SetFileText(const char* text) = 0;
  virtual void SetStatusText(const char* text) = 0;
  virtual void SetCounterText(CounterField field, const char* text) = 0;

  /// True once the user asked the run to stop (Stop, Escape, close, Ctrl-C).
  virtual bool StopRequested() const = 0;
  /// Lets waiting user events run (painting, Stop); never starts a new run.
  virtual void PumpMessages() = 0;
  /// A modal message with the program's caption and an OK button.
  virtual void ShowMessage(const char* text) = 0;
  /// The main window is disabled for the length of a run.
  virtual void EnableMainWindow(bool enable) = 0;

  /// Told once for every candidate of the compaction phase, also for one
  /// that is not taken up (4 GiB or larger) and for the document in hand
  /// when an error ends the run (passed over, with the error as reason).
  virtual void DocumentDone(const DocumentReport& report) { (void)report; }

  /// Told once for every abandoned temporary copy (vkrXXXX.tmp that a killed
  /// run left) met in a folder the compaction phase works in: `path` as
  /// DocumentDone gives paths, `removed` true when a compressing run removed
  /// it, false when an estimate only found it.
  virtual void TemporaryFileSwept(const std::string& path, bool removed) {
    (void)path;
    (void)removed;
  }
};
