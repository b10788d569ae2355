//===- engine/compact_document.h - Copy one compound document and replace it ===//
///
/// \file
/// CompactDocument handles one candidate of the compaction phase: it opens
/// the candidate as a compound document (writers shut out), copies the whole
/// storage tree into a fresh file vkrXXXX.tmp in the document's own
/// directory, measures the copy and gives it the document's times. When the
/// copy is strictly smaller and the run compresses, the copy takes the
/// document's place under its name, with its permission bits, owner, group,
/// extended attributes and times, in one atomic rename. Estimate runs do all
/// but the replacement. It counts into the run's statistics, refreshes the
/// counters after every document, and tells the view what happened to the
/// candidate (DocumentDone).
///
/// Passed over, counted as a total file only: files that are not usable
/// compound documents, documents another program holds a write lock on, and
/// documents with more than one hard link (replacing one would split the
/// links). Left alone after the copy (counted as a document file, the copy
/// removed): a document whose copy cannot be given all of its attributes, and
/// one that changed or was locked for writing after it was copied.
///
/// Endings other than a normal return: "Create tmp document error" (the copy
/// could not be written; UserAbort after the message), and the exceptions of
/// the core and file-system classes, which end the run. In every case the
/// temporary copy is removed: the replacement is one atomic rename, so when
/// it fails the document is still there, and the copy is not needed to
/// recover it. The document in hand is still reported (passed over, with
/// the error as reason).
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/tt_string.h"

struct RunStatistics;
class ProgressView;
class RepeatedDocuments;
class TTCandidate;

/// Compacts one candidate. `basePath` is the base entry's path (or the
/// directory of a single-file entry) as the user chose it; it only prefixes
/// the path in the DocumentDone report, since the candidate's names are
/// relative to the current directory. `repeated` (when given) holds the
/// documents the candidate list reaches more than once, and learns what
/// became of them.
void CompactDocument(const TTCandidate &candidate, bool compress,
                     RunStatistics &statistics, ProgressView &view,
                     const TTString &basePath,
                     RepeatedDocuments *repeated = nullptr);
