//===- engine/compact_document.h - Copy one compound document and replace it ===//
///
/// \file
/// CompactDocument handles one candidate of the compaction phase: it opens
/// the candidate as a compound document (writers shut out), reserves a
/// temporary name vkrXXXX.tmp in the document's own directory and plans the
/// copy of the whole storage tree from the document's tables. When the copy
/// will be strictly smaller and the run compresses, it writes the copy
/// there, checks and flushes it, gives it the document's times, permission
/// bits, owner, group and extended attributes, and puts it in the
/// document's place in one atomic step. A copy that cannot be smaller is
/// never written, and an estimate writes none: the plan's size is the
/// measure, and the reserved name is given back at once. It counts into the
/// statistics it is given, and tells its sink (document_sink.h) when it
/// takes the candidate up, when the counters change and what happened to
/// the candidate. It touches no view itself, so several workers may run it
/// at once, each on its own document.
///
/// Passed over, counted as a total file only: files that are not usable
/// compound documents, documents another program holds a write lock on,
/// documents with more than one hard link (replacing one would split the
/// links), documents another program has open for writing (a refused lease)
/// and documents beside an office program's owner file, and documents
/// changed within the run's minimum age (recent_change.h). Left alone after
/// the copy (counted as a document file, the copy removed): a document whose
/// copy does not read back as the document (a compressing run compares the
/// two before the copy may take its place), one whose copy cannot be given
/// all of its attributes, one that changed or was locked for writing after
/// it was copied, and one another program opened for writing while it was
/// in hand (its lease broke; see
/// document_lease.h). The copy takes the document's place by exchanging the
/// two names where the file system can, so that a program that opened the
/// document at that moment keeps it, and a save renamed over the document
/// right before the exchange gets its name back (see CopyPlacement).
///
/// Endings other than a normal return: "Create tmp document error" (the copy
/// could not be planned or written; UserAbort after the message), and the
/// exceptions of the core and file-system classes, which end the run. In
/// every case the temporary copy is removed: the replacement is one atomic
/// step, so when it fails the document is still there, and the copy is not
/// needed to recover it. The one exception: once the copy and the document
/// have traded names, a failure leaves the file under the temporary name
/// (the document's old file, or the copy after a trade back), since another
/// program may be writing into it. A document whose copy took its place
/// before such a failure is reported as replacedThenEndedRun and counted as
/// compressed; any other document in hand is reported as endedRun.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"
#include "engine/recent_change.h"

#include <functional>

struct RunStatistics;
class DocumentSink;
class RepeatedDocuments;
class TTCandidate;

/// Compacts one candidate, counting into `statistics` and reporting to
/// `sink`. `basePath` is the base entry's path (or the
/// directory of a single-file entry) as the user chose it; it only prefixes
/// the path in the DocumentDone report, since the candidate's names are
/// relative to the current directory. `repeated` (when given) holds the
/// documents the candidate list reaches more than once, and learns what
/// became of them; it may be shared by workers, but one document (by the
/// scan's device and inode) must never be in two workers' hands at once.
/// `rules` may pass over a document that is fit to be compacted (a recent
/// change).
void CompactDocument(const TTCandidate &candidate, bool compress, RunStatistics &statistics,
                     DocumentSink &sink, const TTString &basePath,
                     RepeatedDocuments *repeated = nullptr, const DocumentRules &rules = {});

/// Where a test hook is called: right before the document is opened; during
/// a copy (after every megabyte copied or compared, around its flushes, and
/// while it waits for its turn); right after the last check of the document,
/// before the copy and the document trade names; and right after they have
/// traded names, before the lease is looked at again.
enum class LeaseCheckpoint { opening, copying, checked, exchanged };

/// For tests: `hook` is called with the document's path at each checkpoint,
/// right before the run looks at its lease (see document_lease.h), on the
/// thread that works the document; an empty hook removes it. Set it only
/// while no run is going on.
void SetLeaseCheckpointHook(std::function<void(const char *path, LeaseCheckpoint where)> hook);
