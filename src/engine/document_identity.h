//===- engine/document_identity.h - Is it still the file that was copied? -===//
///
/// \file
/// Between the copy of a document and its replacement no lock is held, so a
/// program could save the document in that window, and replacing it then
/// would lose that save. DocumentIdentity records what identifies the file
/// when it was opened (device, inode, size, modification and change times);
/// DocumentHold takes a shared lock on the document right before the rename,
/// refusing when another program holds a write lock, and checks that the
/// document is still the file that was copied. The hold lasts across the
/// rename, so programs that lock before writing are kept out until the copy
/// has taken the document's place.
///
/// On Windows the device is the volume's serial number and the inode the
/// file's 64-bit index (GetFileInformationByHandle), the change time is the
/// file system's ChangeTime, and the hold is an open with the sharing mode
/// FILE_SHARE_READ, which the system refuses while another program has the
/// document open for writing, and which lasts across ReplaceFileW.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

/// What identifies a document file at one moment.
struct DocumentIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t links = 0;
  /// The file type bits (S_IFMT) of the entry itself; on Windows S_IFREG,
  /// S_IFDIR, or 0 for a reparse point or a device.
  std::uint32_t type = 0;
  std::uint64_t size = 0;
  timespec accessed{};
  timespec modified{};
  timespec changed{};
  /// The creation time where the system keeps one that can be set again
  /// (Windows); zero on Linux.
  timespec created{};

  bool IsRegularFile() const;
  bool IsDirectory() const;
  /// Same device and inode, same size, same modification and change times.
  bool SameFile(const DocumentIdentity &other) const;
};

/// Reads the identity of `path` without following a final symbolic link.
/// Gives 0 or the errno value of the failure.
int ReadDocumentIdentity(const char *path, DocumentIdentity &identity);

/// Reads the identity of the file open as `descriptor`: what was really
/// opened, whatever its path leads to now. Gives 0 or the errno value.
int ReadOpenIdentity(int descriptor, DocumentIdentity &identity);

/// The documents a run reaches more than once, and what the run made of
/// the first visit of each: one record for the whole run. A compressing
/// run's second visit opens the file the run itself put in the document's
/// place, and an estimate's second visit counts as that would: estimate and
/// compress count such a document alike.
///
/// Within one base entry the candidate list shows which documents it holds
/// more than once (one file reached twice, for example by a plain mask given
/// twice), and only those are remembered. A later base entry is scanned
/// after the earlier ones were compacted: a compressing run's scan then
/// finds the replacement itself, but an estimate's finds the document it
/// measured. So while later entries follow, an estimate keeps every
/// document it measured smaller, in a small fixed record (32 bytes), until
/// the run ends; a compressing run keeps nothing across entries. Workers
/// may share it.
class RepeatedDocuments {
public:
  /// A base entry's compaction phase begins: the marks of the entry before
  /// are dropped. `laterEntries`: more base entries follow this one.
  void StartEntry(bool laterEntries);
  /// Marks the document found as (device, inode) as reached more than once
  /// in the entry in hand.
  void Expect(std::uint64_t device, std::uint64_t inode);
  /// The run replaced the document found as (device, inode); `now` is the
  /// file it put in the document's place.
  void Replaced(std::uint64_t device, std::uint64_t inode, const DocumentIdentity &now);
  /// True when `current` is the file the run put in place of the document
  /// found as (device, inode), unchanged since: nothing else wrote to it.
  bool IsOurReplacement(std::uint64_t device, std::uint64_t inode,
                        const DocumentIdentity &current) const;
  /// True when `current` is a file the run put in a document's place while
  /// it worked on an earlier base entry, unchanged since. A compressing run
  /// keeps its replacements only while later entries follow, in the same
  /// small records as an estimate's measurements.
  bool ReplacedInEarlierEntry(const DocumentIdentity &current) const;
  /// An estimate measured `document` with a smaller copy of `copySize` bytes.
  void Measured(const DocumentIdentity &document, std::uint64_t copySize);
  /// True, with the copy's size, when an estimate measured this very file,
  /// unchanged since, with a smaller copy: earlier in this base entry, or in
  /// an earlier one.
  bool MeasuredBefore(const DocumentIdentity &document, std::uint64_t &copySize) const;

private:
  using Key = std::pair<std::uint64_t, std::uint64_t>;
  struct Visit {
    DocumentIdentity file; ///< the replacement, or the measured document
    std::uint64_t copySize;
    bool replaced;
  };
  /// A document an estimate measured smaller in an earlier base entry: what
  /// tells that a later visit finds the same file unchanged (a write, a
  /// chmod or a new time all move the change time), and the copy's size.
  /// Documents are under 4 GiB.
  struct Measurement {
    std::uint64_t device;
    std::uint64_t inode;
    std::int64_t changed; ///< nanoseconds
    std::uint32_t size;
    std::uint32_t copySize;
  };
  static_assert(sizeof(Measurement) == 32, "a measurement's record grew");
  static Measurement MeasurementOf(const DocumentIdentity &document, std::uint64_t copySize);
  /// The order of the measurements: by device and inode.
  static bool KeyBefore(const Measurement &a, const Measurement &b);

  mutable std::mutex mutex;
  bool laterEntries = false;
  /// Looked up once a document, so kept sorted: a tree reached twice through
  /// a bind mount repeats every one of its documents.
  std::set<Key> expected;
  /// By the scan's device and inode (a replacement's), or the measured
  /// document's.
  std::multimap<Key, Visit> visits;
  /// The measurements of the earlier base entries, sorted; and those of the
  /// entry in hand, merged in when the next entry starts.
  std::vector<Measurement> earlier;
  std::vector<Measurement> inHand;
};

/// A shared lock on a document, held from the last check to the end of its
/// replacement.
class DocumentHold {
public:
  DocumentHold() = default;
  DocumentHold(const DocumentHold &) = delete;
  DocumentHold &operator=(const DocumentHold &) = delete;
  ~DocumentHold();

  /// Opens `path`, takes shared locks (an open file description lock and a
  /// flock lock) without waiting, and compares the file with `expected`.
  /// On Windows the open itself, with FILE_SHARE_READ | FILE_SHARE_DELETE,
  /// keeps writers out; it is refused while another program writes.
  /// Gives the empty text when the document may be replaced, otherwise why
  /// not ("in use by another program", "changed while it was being copied").
  std::string Acquire(const char *path, const DocumentIdentity &expected);

private:
  int descriptor = -1;
};
