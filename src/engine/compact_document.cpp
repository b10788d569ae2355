//===- engine/compact_document.cpp - Copy one compound document and replace it =//

#include "engine/compact_document.h"

#include "cfb/compound_file.h"
#include "core/exceptions.h"
#include "engine/candidate.h"
#include "engine/copy_check.h"
#include "engine/document_identity.h"
#include "engine/document_lease.h"
#include "engine/document_sink.h"
#include "engine/progress_view.h"
#include "engine/run_failure.h"
#include "engine/run_messages.h"
#include "engine/run_statistics.h"
#include "fs/file_operations.h"
#include "fs/path_names.h"
#include "fs/temp_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace {

/// Files of 4 GiB or more are never taken up.
constexpr std::uint64_t kLargestSize = 0xFFFFFFFFull;

/// The test hook of SetLeaseCheckpointHook.
std::function<void(const char *, LeaseCheckpoint)> checkpointHook;

/// Ends a copy whose document another program opened for writing.
struct LeaseBrokenDuringCopy {};

/// Where no lease can be had: the office programs' own sign that they have
/// the document open. Gives the reason to pass it over, or the empty text.
std::string OwnerFileReason(const TTString &fullName) {
  return OfficeOwnerFileOf(fullName.CStr()).empty()
             ? std::string()
             : std::string(LeaseReason::kOpenInOfficeProgram);
}

/// Puts the copy in the document's place under a lease: the two names trade
/// places in one atomic step, the directory is flushed, and the lease is
/// looked at again. A program may have looked the document's path up just
/// before the exchange and be waiting for the lease in its open: it opens
/// the old file. When the lease shows such a program, the names are swapped
/// back, so the document stays where it was and that program gets what it
/// opened; the copy is removed and false given. Otherwise the old file is
/// removed and the lease given up. The flush between the exchange and the
/// look gives such an open time to reach the lease. Where the file system
/// cannot exchange names, the copy is renamed over the document as without
/// a lease. The holder is disarmed once the names have traded places: from
/// then on a failure leaves both files, and neither is removed blindly.
bool ReplaceUnderLease(TTTempFile &temporary, const TTString &tempName, const TTString &fullName,
                       DocumentLease &lease) {
  if (!ExchangeFiles(tempName, fullName)) {
    MoveFileReplacing(tempName, fullName);
    temporary.Release();
    return true;
  }
  temporary.Release();
  FlushDirectoryOf(fullName);
  if (checkpointHook)
    checkpointHook(fullName.CStr(), LeaseCheckpoint::exchanged);
  if (lease.Broken()) {
    // The names traded places a moment ago, so they can trade back; should
    // that fail all the same, both files stay and the run ends with the
    // error.
    if (!ExchangeFiles(tempName, fullName))
      ThrowFileException(TTFileError::generic, EINVAL);
    FlushDirectoryOf(fullName);
    lease.Drop();
    RemoveFileIfExists(tempName);
    return false;
  }
  RemoveFileIfExists(tempName);
  lease.Drop();
  return true;
}

/// Tells the sink what happened to the candidate, once.
class Outcome {
public:
  Outcome(DocumentSink &sink, const RunStatistics &statistics, const TTString &basePath,
          const TTString &fullName, std::uint64_t sizeBefore)
      : sink(sink), statistics(statistics) {
    report.path = std::string(basePath.CStr()) + StripDot(fullName.CStr());
    report.sizeBefore = sizeBefore;
    report.sizeAfter = 0;
    report.outcome = DocumentOutcome::passedOver;
  }

  /// Passed over for a reason known by its text only.
  void PassOver(std::string reason) { PassOver(PassOverReason::other, std::move(reason)); }
  /// Passed over: why, as data and as the listing's text.
  void PassOver(PassOverReason why, std::string reason, int systemError = 0,
                std::optional<cfb::Reason> refusal = std::nullopt) {
    Tell(DocumentOutcome::passedOver, why, std::move(reason), systemError, refusal);
  }
  /// An error with this document ends the run.
  void EndRun(PassOverReason why, std::string reason, int systemError = 0,
              std::optional<cfb::Reason> refusal = std::nullopt) {
    Tell(DocumentOutcome::endedRun, why, std::move(reason), systemError, refusal);
  }
  void Done(DocumentOutcome outcome) {
    Tell(outcome, PassOverReason::none, std::string(), 0, std::nullopt);
  }
  bool Told() const { return told; }

  DocumentReport report;

private:
  void Tell(DocumentOutcome outcome, PassOverReason why, std::string reason, int systemError,
            std::optional<cfb::Reason> refusal) {
    report.outcome = outcome;
    report.passOver = why;
    report.reason = std::move(reason);
    report.systemError = systemError;
    report.refusal = refusal;
    told = true;
    sink.Done(report, statistics);
  }
  static const char *StripDot(const char *name) {
    while (name[0] == '.' && name[1] == '/')
      name += 2;
    return name;
  }
  DocumentSink &sink;
  const RunStatistics &statistics;
  bool told = false;
};

std::string SystemReason(const char *what, int error) {
  return std::string(what) + " (" + std::strerror(error) + ")";
}

/// Why a candidate cannot be used, as data and as text.
struct Refusal {
  PassOverReason why = PassOverReason::none;
  std::string text;
  int systemError = 0;
  std::optional<cfb::Reason> reason;
};

/// Opens the candidate as a compound document with writers shut out, or
/// says why it cannot be used.
std::optional<cfb::Source> OpenDocument(const TTString &fullName, Refusal &refusal) {
  try {
    return cfb::Source::Open(fullName.CStr());
  } catch (const cfb::FormatError &e) {
    refusal = {PassOverReason::notCompoundDocument,
               std::string("not a compound document: ") + cfb::ReasonText(e.GetReason()), 0,
               e.GetReason()};
  } catch (const cfb::InUseError &) {
    refusal = {PassOverReason::inUse, "in use by another program", 0, std::nullopt};
  } catch (const cfb::IoError &e) {
    refusal = {PassOverReason::cannotOpen, SystemReason("cannot be opened", e.GetErrorNumber()),
               e.GetErrorNumber(), std::nullopt};
  }
  return std::nullopt;
}

/// The error number an exception of the core, file-system or compound-file
/// classes carries, or 0.
int SystemErrorOf(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const TTFileException &e) {
    return static_cast<int>(e.systemError);
  } catch (const cfb::IoError &e) {
    return e.GetErrorNumber();
  } catch (...) {
  }
  return 0;
}

/// Everything after a candidate has been taken up (counted as a total file).
void CompactTakenUp(const TTCandidate &candidate, const TTString &fullName, bool compress,
                    RunStatistics &statistics, DocumentSink &sink, Outcome &outcome,
                    RepeatedDocuments *repeated, const DocumentRules &rules) {
  // What identifies the document when it is opened, read before and after
  // the open: a file put in its place in between is not the one the lock
  // holds, and is left for the next run.
  DocumentIdentity identity;
  if (int error = ReadDocumentIdentity(fullName.CStr(), identity)) {
    outcome.PassOver(PassOverReason::cannotExamine, SystemReason("cannot be examined", error),
                     error);
    return;
  }
  // The path is resolved again now, and a folder on it may have been swapped
  // for a symbolic link since the scan, which never follows one: a path that
  // no longer leads to the file the scan found is left alone, so that no
  // document outside the chosen tree is ever touched.
  // The one exception: the file this run itself put in the document's place
  // on an earlier visit of the same candidate, unchanged since.
  if ((identity.device != static_cast<dev_t>(candidate.device) ||
       identity.inode != static_cast<ino_t>(candidate.inode)) &&
      !(repeated != nullptr &&
        repeated->IsOurReplacement(static_cast<dev_t>(candidate.device),
                                   static_cast<ino_t>(candidate.inode), identity))) {
    outcome.PassOver(PassOverReason::notTheScannedFile,
                     "no longer the file that was found by the scan");
    return;
  }
  if (!identity.IsRegularFile()) {
    if (S_ISDIR(identity.type))
      outcome.PassOver(PassOverReason::directory, "a directory");
    else
      outcome.PassOver(PassOverReason::notRegularFile, "not a regular file");
    return;
  }
  // The file this run put in the document's place on an earlier visit is
  // new by its nature; it counts as that visit makes it count.
  if (ChangedRecently(identity, rules.minAge) &&
      !(repeated != nullptr &&
        repeated->IsOurReplacement(static_cast<dev_t>(candidate.device),
                                   static_cast<ino_t>(candidate.inode), identity))) {
    outcome.PassOver(PassOverReason::changedRecently, kChangedRecently);
    return;
  }
  Refusal openRefusal;
  std::optional<cfb::Source> source = OpenDocument(fullName, openRefusal);
  if (!source) {
    outcome.PassOver(openRefusal.why, openRefusal.text, openRefusal.systemError,
                     openRefusal.reason);
    return;
  }
  DocumentIdentity opened;
  if (int error = ReadDocumentIdentity(fullName.CStr(), opened)) {
    outcome.PassOver(PassOverReason::cannotExamine, SystemReason("cannot be examined", error),
                     error);
    return;
  }
  if (!opened.SameFile(identity)) {
    outcome.PassOver(PassOverReason::changedWhileOpening, "changed while it was being opened");
    return;
  }
  if (identity.links > 1) {
    outcome.PassOver(PassOverReason::hardLinks,
                     "has " + std::to_string(identity.links) + " hard links");
    return;
  }
  if (identity.size > kLargestSize) {
    outcome.PassOver(PassOverReason::tooLarge, "4 GiB or larger");
    return;
  }
  // The scan may be minutes old; the document as it was opened is what the
  // copy is measured against and what its place-taker must look like.
  std::uint64_t oldSize = identity.size;
  outcome.report.sizeBefore = oldSize;
  sink.Started(fullName.CStr());

  // Programs that have the document open without a lock are seen through a
  // lease on the descriptor it is read with (see document_lease.h); where
  // none can be had, through the owner files of office programs.
  DocumentLease lease;
  switch (lease.Take(source->Descriptor())) {
  case DocumentLease::State::held:
    break;
  case DocumentLease::State::openElsewhere:
    outcome.PassOver(PassOverReason::openInAnotherProgram, LeaseReason::kOpenInAnotherProgram);
    return;
  case DocumentLease::State::unavailable:
    if (std::string reason = OwnerFileReason(fullName); !reason.empty()) {
      outcome.PassOver(PassOverReason::openInOfficeProgram, reason);
      return;
    }
    break;
  }

  ++statistics.documentFiles;
  // A compressing run gives the copy exactly what the document has; the
  // check before the rename makes sure none of it changed since (a chmod,
  // chown or xattr change moves the change time).
  TTFileAttributes attributes;
  if (compress)
    attributes = ReadAttributes(fullName);

  // The copy. The holder removes the temporary file on every way out that
  // does not end in the copy taking the document's place.
  TTTempFile temporary;
  TTString tempName;
  try {
    tempName = temporary.Create(DirectoryOf(fullName), kTempFilePrefix);
  } catch (const TTFileException &e) {
    // The error ends the run; the listing says which step failed.
    outcome.EndRun(PassOverReason::copyNotCreated,
                   std::string("the copy cannot be created in this folder: ") +
                       FileErrorText(e.code),
                   static_cast<int>(e.systemError));
    throw;
  }
  bool copyFailed = false;
  bool leaseBroken = false;
  std::string copyError;
  std::string difference;
  int copySystemError = 0;
  std::optional<cfb::Reason> copyRefusal;
  try {
    // An estimate only measures its copy and removes it: no flush to disk.
    cfb::Destination destination =
        cfb::Destination::Create(tempName.CStr(),
                                 compress ? cfb::Destination::Durability::flushed
                                          : cfb::Destination::Durability::measuredOnly,
                                 temporary.Descriptor());
    // After every megabyte: a program that opens the document for writing
    // waits for our lease; stop at once and let it go on.
    destination.SetCheckpoint([&] {
      if (checkpointHook)
        checkpointHook(fullName.CStr(), LeaseCheckpoint::copying);
      if (lease.Broken())
        throw LeaseBrokenDuringCopy{};
    });
    source->CopyTo(destination);
    // A copy that may take the document's place is read back and compared
    // with the document, still open with writers shut out, while the disk
    // takes the copy in; one that differs is never flushed.
    if (compress && CopyCheckEnabled() && source->PlannedCopySize() < oldSize)
      difference = CheckCopy(*source, tempName.CStr());
    if (difference.empty())
      destination.Release();
  } catch (const cfb::Error &e) {
    copyFailed = true;
    copyError = e.what();
    if (const auto *io = dynamic_cast<const cfb::IoError *>(&e))
      copySystemError = io->GetErrorNumber();
    if (const auto *format = dynamic_cast<const cfb::FormatError *>(&e))
      copyRefusal = format->GetReason();
  } catch (const LeaseBrokenDuringCopy &) {
    leaseBroken = true;
  }
  if (leaseBroken) {
    // The other program goes on now; the copy is removed on the way out.
    lease.Drop();
    sink.CountersChanged(statistics);
    outcome.PassOver(PassOverReason::openInAnotherProgram, LeaseReason::kOpenInAnotherProgram);
    return;
  }
  if (copyFailed) {
    // The message box says only what failed; the report also says where
    // and why, for listings.
    outcome.EndRun(PassOverReason::copyFailed,
                   std::string(RunMessage::kCreateTmpError) + " (" + copyError + ")",
                   copySystemError, copyRefusal);
    sink.EndWithMessage(RunMessage::kCreateTmpError);
  }
  source->Release();
  source.reset();
  if (!difference.empty()) {
    sink.CountersChanged(statistics);
    outcome.PassOver(PassOverReason::copyDiffers, difference);
    return;
  }

  // Measure the copy and give it the document's times, in both modes and
  // whatever the sizes.
  // Through the holder's descriptor, whose write lock marks the copy as a
  // live writer's until it takes the document's place or is removed.
  std::uint64_t newSize;
  {
    struct stat status;
    if (fstat(temporary.Descriptor(), &status) != 0)
      ThrowLastErrorWithName(tempName);
    newSize = static_cast<std::uint64_t>(status.st_size);
    const timespec times[2] = {identity.accessed, identity.modified};
    if (futimens(temporary.Descriptor(), times) != 0)
      ThrowLastErrorWithName(tempName);
  }
  outcome.report.sizeAfter = newSize;
  // A program that opened the document while it was copied keeps it, in an
  // estimate as in a compressing run, so that both count alike.
  std::string openElsewhere = lease.Broken()  ? LeaseReason::kOpenInAnotherProgram
                              : lease.Taken() ? std::string()
                                              : OwnerFileReason(fullName);
  if (!openElsewhere.empty()) {
    lease.Drop();
    sink.CountersChanged(statistics);
    outcome.PassOver(lease.Broken() ? PassOverReason::openInAnotherProgram
                                    : PassOverReason::openInOfficeProgram,
                     openElsewhere);
    return;
  }

  DocumentOutcome result = DocumentOutcome::notSmaller;
  std::uint64_t measured = 0;
  if (!compress && repeated != nullptr && repeated->MeasuredBefore(identity, measured)) {
    // An estimate's second visit of one document counts as a compressing
    // run's would: that opens the smaller copy the first visit put in place
    // and finds nothing more to gain.
    oldSize = measured;
    outcome.report.sizeBefore = measured;
  } else if (newSize < oldSize) {
    if (compress) {
      try {
        SetAttributes(tempName, attributes);
      } catch (const TTFileException &e) {
        // The copy cannot look like the document to its users: leave the
        // document, and let the holder remove the copy.
        lease.Drop();
        sink.CountersChanged(statistics);
        outcome.PassOver(PassOverReason::attributesRefused,
                         std::string("the copy cannot be given the document's "
                                     "owner, permissions or attributes (") +
                             FileErrorText(e.code) + ")",
                         static_cast<int>(e.systemError));
        return;
      }
      DocumentHold hold;
      std::string refusal = hold.Acquire(fullName.CStr(), identity);
      PassOverReason why = PassOverReason::other;
      if (refusal.empty()) {
        if (lease.Broken()) {
          refusal = LeaseReason::kOpenInAnotherProgram;
          why = PassOverReason::openInAnotherProgram;
        } else if (!lease.Taken()) {
          refusal = OwnerFileReason(fullName);
          why = PassOverReason::openInOfficeProgram;
        }
      }
      if (!refusal.empty()) {
        lease.Drop();
        sink.CountersChanged(statistics);
        outcome.PassOver(why, refusal);
        return;
      }
      if (lease.Taken()) {
        if (!ReplaceUnderLease(temporary, tempName, fullName, lease)) {
          sink.CountersChanged(statistics);
          outcome.PassOver(PassOverReason::openInAnotherProgram,
                           LeaseReason::kOpenInAnotherProgram);
          return;
        }
      } else {
        // One atomic rename: when it fails the document is unchanged, so the
        // holder may remove the copy on the way out as on every other path.
        MoveFileReplacing(tempName, fullName);
        // The copy is the document now: the holder must neither remove a
        // later file of the temporary name nor keep the document locked.
        temporary.Release();
      }
      result = DocumentOutcome::replaced;
      DocumentIdentity now;
      if (repeated != nullptr && ReadDocumentIdentity(fullName.CStr(), now) == 0)
        repeated->Replaced(static_cast<dev_t>(candidate.device),
                           static_cast<ino_t>(candidate.inode), now);
    } else {
      result = DocumentOutcome::wouldShrink;
      if (repeated != nullptr)
        repeated->Measured(identity, newSize);
    }
    ++statistics.compressedFiles;
    statistics.bytesBefore += oldSize;
    statistics.bytesAfter += newSize;
  }
  // Nothing more depends on the lease; a program waiting for it goes on
  // before the copy is removed.
  lease.Drop();
  sink.CountersChanged(statistics);
  outcome.Done(result);
}

} // namespace

void SetLeaseCheckpointHook(std::function<void(const char *path, LeaseCheckpoint where)> hook) {
  checkpointHook = std::move(hook);
}

void CompactDocument(const TTCandidate &candidate, bool compress, RunStatistics &statistics,
                     DocumentSink &sink, const TTString &basePath, RepeatedDocuments *repeated,
                     const DocumentRules &rules) {
  TTString fullName = candidate.FullName();
  std::uint64_t scanSize =
      (static_cast<std::uint64_t>(candidate.sizeHigh) << 32) | candidate.sizeLow;
  Outcome outcome(sink, statistics, basePath, fullName, scanSize);
  if (candidate.sizeHigh != 0) {
    // Not taken up at all: no counter, nothing shown in the window.
    outcome.PassOver(PassOverReason::tooLarge, "4 GiB or larger");
    return;
  }
  ++statistics.totalFiles;
  try {
    CompactTakenUp(candidate, fullName, compress, statistics, sink, outcome, repeated, rules);
  } catch (...) {
    // The error ends the run; a listing still learns what became of the
    // document in hand.
    if (!outcome.Told())
      outcome.EndRun(PassOverReason::runError, DescribeCurrentException(),
                     SystemErrorOf(std::current_exception()));
    throw;
  }
}
