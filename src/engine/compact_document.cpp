//===- engine/compact_document.cpp - Copy one compound document and replace it =//

#include "engine/compact_document.h"

#include "cfb/compound_file.h"
#include "core/exceptions.h"
#include "engine/candidate.h"
#include "engine/copy_check.h"
#include "engine/document_identity.h"
#include "engine/document_lease.h"
#include "engine/document_sink.h"
#include "engine/open_file.h"
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
#include <tuple>
#include <utility>

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
  /// The copy took the document's place, then a later step failed.
  void ReplacedThenEndedRun(std::string reason, int systemError) {
    Tell(DocumentOutcome::replacedThenEndedRun, PassOverReason::runError, std::move(reason),
         systemError, std::nullopt);
  }
  bool Told() const { return told; }

  DocumentReport report;
  /// What is read from the document, counted by the compound-file layer
  /// from its opening on; the report carries it.
  cfb::ReadCount reads;

private:
  void Tell(DocumentOutcome outcome, PassOverReason why, std::string reason, int systemError,
            std::optional<cfb::Reason> refusal) {
    report.outcome = outcome;
    report.passOver = why;
    report.reason = std::move(reason);
    report.systemError = systemError;
    report.refusal = refusal;
    report.bytesRead = reads.bytes;
    told = true;
    sink.Done(report, statistics);
  }
  static const char *StripDot(const char *name) { return SkipCurrentDirPrefix(name); }
  DocumentSink &sink;
  const RunStatistics &statistics;
  bool told = false;
};

/// The bytes a copy holds, as far as it was written.
std::uint64_t BytesOnDisk(int descriptor) {
  DocumentIdentity copy;
  return ReadOpenIdentity(descriptor, copy) == 0 ? copy.size : 0;
}

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
/// says why it cannot be used. What is read from it is counted in `reads`.
std::optional<cfb::Source> OpenDocument(const TTString &fullName, Refusal &refusal,
                                        cfb::ReadCount &reads) {
  try {
    return cfb::Source::Open(fullName.CStr(), cfb::FinalLink::refuse, &reads);
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

/// A file by device and inode.
struct FileKey {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

/// Whether `name` (a final link not followed) is the file `key` now.
bool NameHolds(const TTString &name, const FileKey &key) {
  DocumentIdentity now;
  return ReadDocumentIdentity(name.CStr(), now) == 0 && now.device == key.device &&
         now.inode == key.inode;
}

void CallHook(const TTString &fullName, LeaseCheckpoint where) {
  if (checkpointHook)
    checkpointHook(fullName.CStr(), where);
}

/// Puts a flushed, checked copy in the document's place and knows, should a
/// step fail, whether the document's name holds the copy at that moment.
///
/// The two names trade places in one atomic step where the file system can
/// (renameat2 RENAME_EXCHANGE), and nothing is ever removed unlooked-at:
/// - After the exchange the temporary name must hold the very document the
///   last check held. When it holds another file, a program saved the
///   document by renaming a new file over it between that check and the
///   exchange: the names trade back, so that its save keeps the document's
///   name, and the copy is removed.
/// - The lease is looked at again, before and after the folder is flushed:
///   a program may have looked the document's path up just before the
///   exchange and be waiting for the lease in its open of the old file.
///   Then too the names trade back, so that the program gets what it
///   opened.
/// - Only then is the old file, the one the checks held, removed.
/// Before any trade back, the document's name must still hold the copy.
/// Where no exchange is possible, the copy is renamed over the document;
/// between the last check and that rename a window of microseconds remains.
class CopyPlacement {
public:
  enum class Result { replaced, changedMeanwhile, openedMeanwhile };

  CopyPlacement(TTTempFile &temporary, const TTString &tempName, const TTString &fullName,
                const FileKey &copy, const FileKey &document)
      : temporary(temporary), tempName(tempName), fullName(fullName), copy(copy),
        document(document) {}

  Result Place(DocumentLease &lease) {
    if (!ExchangeFiles(tempName, fullName)) {
      try {
        MoveFileReplacing(tempName, fullName);
      } catch (...) {
        inPlace = NameHolds(fullName, copy);
        if (inPlace)
          temporary.Release();
        throw;
      }
      inPlace = true;
      temporary.Release();
      return Result::replaced;
    }
    // From here on a failure leaves both files; neither is removed blindly.
    temporary.Release();
    inPlace = true;
    if (!NameHolds(tempName, document)) {
      TradeBack();
      return Result::changedMeanwhile;
    }
    // Looked at before the folder's flush as well as after it, so that a
    // program that opened the old file at the exchange gets it back at once.
    const auto openedMeanwhile = [&] {
      if (!lease.Broken())
        return false;
      TradeBack();
      lease.Drop();
      return true;
    };
    if (openedMeanwhile())
      return Result::openedMeanwhile;
    FlushDirectoryOf(fullName);
    CallHook(fullName, LeaseCheckpoint::exchanged);
    if (openedMeanwhile())
      return Result::openedMeanwhile;
    if (NameHolds(tempName, document))
      RemoveFile(tempName);
    lease.Drop();
    return Result::replaced;
  }

  /// Whether the document's name held the copy when the last step ended.
  bool CopyInPlace() const { return inPlace; }

private:
  /// Gives the document's name back to the file that had it before the
  /// exchange, and removes the copy.
  void TradeBack() {
    // A third file under the document's name is left where it is, and so is
    // the file under the temporary name: the run ends and names both.
    if (!NameHolds(fullName, copy))
      throw TTFileWithNameException(fullName, TTFileError::sharingViolation, EBUSY);
    if (!ExchangeFiles(tempName, fullName))
      ThrowFileException(TTFileError::generic, EINVAL);
    inPlace = false;
    FlushDirectoryOf(fullName);
    if (NameHolds(tempName, copy))
      RemoveFile(tempName);
  }

  TTTempFile &temporary;
  const TTString &tempName;
  const TTString &fullName;
  const FileKey copy;
  const FileKey document;
  bool inPlace = false;
};

/// The reason to pass a document over because another program has it open,
/// or the empty text: a broken lease, or an office program's owner file
/// beside it (which counts whether or not a lease was granted: a program
/// that reads a document whole and keeps only its owner file while a person
/// edits it is not seen by the lease).
std::pair<PassOverReason, std::string> OpenElsewhereReason(const DocumentLease &lease,
                                                           const TTString &fullName) {
  if (lease.Broken())
    return {PassOverReason::openInAnotherProgram, LeaseReason::kOpenInAnotherProgram};
  std::string owner = OwnerFileReason(fullName);
  if (!owner.empty())
    return {PassOverReason::openInOfficeProgram, owner};
  return {PassOverReason::none, std::string()};
}

/// Everything after a candidate has been taken up (counted as a total file).
void CompactTakenUp(const TTCandidate &candidate, const TTString &fullName, bool compress,
                    RunStatistics &statistics, DocumentSink &sink, Outcome &outcome,
                    RepeatedDocuments *repeated, const DocumentRules &rules) {
  // What identifies the document before it is opened; the descriptor it is
  // opened with must hold the same file, so that nothing put in its place in
  // between (a link, another file) is ever read.
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
  if ((identity.device != candidate.device || identity.inode != candidate.inode) &&
      !(repeated != nullptr &&
        repeated->IsOurReplacement(candidate.device, candidate.inode, identity))) {
    outcome.PassOver(PassOverReason::notTheScannedFile,
                     "no longer the file that was found by the scan");
    return;
  }
  if (!identity.IsRegularFile()) {
    if (identity.IsDirectory())
      outcome.PassOver(PassOverReason::directory, "a directory");
    else
      outcome.PassOver(PassOverReason::notRegularFile, "not a regular file");
    return;
  }
  // The file this run put in the document's place on an earlier visit, in
  // this base entry or an earlier one, is new by its nature; it counts as
  // that visit makes it count.
  if (ChangedRecently(identity, rules.minAge) &&
      !(repeated != nullptr &&
        (repeated->IsOurReplacement(candidate.device, candidate.inode, identity) ||
         repeated->ReplacedInEarlierEntry(identity)))) {
    outcome.PassOver(PassOverReason::changedRecently, kChangedRecently);
    return;
  }
  CallHook(fullName, LeaseCheckpoint::opening);
  Refusal openRefusal;
  std::optional<cfb::Source> source = OpenDocument(fullName, openRefusal, outcome.reads);
  if (!source) {
    outcome.PassOver(openRefusal.why, openRefusal.text, openRefusal.systemError,
                     openRefusal.reason);
    return;
  }
  DocumentIdentity opened;
  if (int error = ReadOpenIdentity(source->Descriptor(), opened)) {
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

  // Programs that have the document open without a lock are seen through a
  // lease on the descriptor it is read with (see document_lease.h), and
  // office programs also through their owner files.
  DocumentLease lease;
  if (lease.Take(source->Descriptor()) == DocumentLease::State::openElsewhere) {
    outcome.PassOver(PassOverReason::openInAnotherProgram, LeaseReason::kOpenInAnotherProgram);
    return;
  }
  if (std::string reason = OwnerFileReason(fullName); !reason.empty()) {
    outcome.PassOver(PassOverReason::openInOfficeProgram, reason);
    return;
  }

  // Counted as a document from here on, and shown as the one in hand.
  sink.Started(fullName.CStr());
  ++statistics.documentFiles;
  // A compressing run gives the copy exactly what the document has; the
  // check before the exchange makes sure none of it changed since (a chmod,
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
  // A program that opens the document for writing waits for our lease: it
  // is looked at after every megabyte copied or compared, around every
  // flush, and while the copy waits for its turn; on a break the run stops
  // at once and lets that program go on.
  const auto lookAtLease = [&] {
    CallHook(fullName, LeaseCheckpoint::copying);
    if (lease.Broken())
      throw LeaseBrokenDuringCopy{};
  };
  bool copyFailed = false;
  bool leaseBroken = false;
  std::string copyError;
  std::string difference;
  int copySystemError = 0;
  std::optional<cfb::Reason> copyRefusal;
  // The copy's size is known from the document's tables before a byte is
  // written. A copy is written only where it may take the document's place:
  // in a compressing run, when it will be strictly smaller. Otherwise the
  // plan alone is the measure, and the name reserved above (which proved
  // that a copy could be made in this folder) is given back at once.
  std::uint64_t planned = 0;
  bool written = false;
  try {
    planned = source->PlannedCopySize();
    if (compress && planned < oldSize) {
      written = true;
      cfb::Destination destination = cfb::Destination::Create(
          tempName.CStr(), cfb::Destination::Durability::flushed, temporary.Descriptor());
      destination.SetCheckpoint(lookAtLease);
      source->CopyTo(destination);
      // The copy is read back and compared with the document, still open
      // with writers shut out, while the disk takes the copy in; one that
      // differs is never flushed.
      if (CopyCheckEnabled())
        difference = CheckCopy(*source, destination, lookAtLease);
      if (difference.empty()) {
        destination.Release();
        lookAtLease();
      }
    }
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
  if (written)
    outcome.report.bytesWritten = BytesOnDisk(temporary.Descriptor());
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

  std::uint64_t newSize = planned;
  FileKey copyKey;
  if (!written) {
    temporary.Remove();
  } else {
    // Measure the copy and give it the document's times, through the
    // holder's descriptor, whose write lock marks the copy as a live
    // writer's until it takes the document's place or is removed.
    DocumentIdentity copy;
    if (ReadOpenIdentity(temporary.Descriptor(), copy) != 0)
      ThrowLastErrorWithName(tempName);
    newSize = copy.size;
    copyKey = {copy.device, copy.inode};
    if (newSize != planned) {
      // The plan decides what is written and what an estimate counts; a
      // copy of another size means the plan is wrong, and nothing is
      // replaced on the strength of it.
      sink.CountersChanged(statistics);
      outcome.PassOver(PassOverReason::copyDiffers, "the copy differs from the document: it has " +
                                                        std::to_string(newSize) + " bytes, " +
                                                        std::to_string(planned) + " planned");
      return;
    }
    if (!SetOpenFileTimes(temporary.Descriptor(), identity))
      ThrowLastErrorWithName(tempName);
  }
  outcome.report.sizeAfter = newSize;
  // A program that opened the document while it was copied keeps it, in an
  // estimate as in a compressing run, so that both count alike.
  if (auto [why, reason] = OpenElsewhereReason(lease, fullName); !reason.empty()) {
    lease.Drop();
    sink.CountersChanged(statistics);
    outcome.PassOver(why, reason);
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
      // The copy's data, times and attributes reach the disk before its
      // turn and the last check, so that only the exchange itself follows
      // that check.
      try {
        lookAtLease();
        if (!FlushOpenFile(temporary.Descriptor()))
          ThrowLastErrorWithName(tempName);
        lookAtLease();
        if (sink.AwaitTurn(lookAtLease) == DocumentSink::Turn::runEnded) {
          // An earlier document ended the run: this one stays as it is, and
          // the holder removes its copy; the run does not count it.
          return;
        }
      } catch (const LeaseBrokenDuringCopy &) {
        lease.Drop();
        sink.CountersChanged(statistics);
        outcome.PassOver(PassOverReason::openInAnotherProgram, LeaseReason::kOpenInAnotherProgram);
        return;
      }
      DocumentHold hold;
      std::string refusal = hold.Acquire(fullName.CStr(), identity);
      PassOverReason why = PassOverReason::other;
      if (refusal.empty())
        std::tie(why, refusal) = OpenElsewhereReason(lease, fullName);
      if (!refusal.empty()) {
        lease.Drop();
        sink.CountersChanged(statistics);
        outcome.PassOver(why, refusal);
        return;
      }
      CallHook(fullName, LeaseCheckpoint::checked);
      LetGoBeforeReplacement(temporary);
      CopyPlacement placement(temporary, tempName, fullName, copyKey,
                              {identity.device, identity.inode});
      CopyPlacement::Result placed;
      try {
        placed = placement.Place(lease);
      } catch (...) {
        if (!placement.CopyInPlace())
          throw;
        // The copy is the document now; what failed came after. The
        // document counts as compressed, and the error still ends the run.
        ++statistics.compressedFiles;
        statistics.bytesBefore += oldSize;
        statistics.bytesAfter += newSize;
        sink.CountersChanged(statistics);
        outcome.ReplacedThenEndedRun(DescribeCurrentException(),
                                     SystemErrorOf(std::current_exception()));
        throw;
      }
      if (placed != CopyPlacement::Result::replaced) {
        sink.CountersChanged(statistics);
        if (placed == CopyPlacement::Result::openedMeanwhile)
          outcome.PassOver(PassOverReason::openInAnotherProgram,
                           LeaseReason::kOpenInAnotherProgram);
        else
          outcome.PassOver(PassOverReason::other, "changed while it was being copied");
        return;
      }
      result = DocumentOutcome::replaced;
      DocumentIdentity now;
      if (repeated != nullptr && ReadDocumentIdentity(fullName.CStr(), now) == 0)
        repeated->Replaced(candidate.device, candidate.inode, now);
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
