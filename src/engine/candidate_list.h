//===- engine/candidate_list.h - The candidates of one base entry, kept lean ===//
///
/// \file
/// TTCandidateList holds the candidates a walk yields for one base entry, in
/// the order they were yielded, until the compaction phase takes them one by
/// one. A run over a file server's share may collect millions of them, so
/// the list keeps each in a small fixed record (48 bytes) plus its name:
///
///   - names lie one after another in an arena of large blocks, each ended
///     by a zero byte, and a record points to its name;
///   - a record names its folder by number: each folder's path (the
///     candidate's `directory`) is stored once, however many candidates lie
///     in it and however often the walk comes back to it;
///   - records lie in blocks of a fixed count, so the list never copies
///     itself to grow and never holds two copies at once.
///
/// A record keeps what the compaction phase reads of the scan: the name and
/// folder, the size, the attributes and mode, and the device and inode that
/// tell whether the file is still the one the scan found. The scan's times,
/// owner, group and link count are not kept: the compaction reads them from
/// the file itself when it takes the document up, since the scan may be
/// minutes old by then. `Get` materialises a candidate as a TTCandidate with
/// the kept fields and the others at their defaults.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"
#include "engine/candidate.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class TTCandidateList {
public:
  TTCandidateList() = default;
  TTCandidateList(const TTCandidateList &) = delete;
  TTCandidateList &operator=(const TTCandidateList &) = delete;

  /// Appends a candidate at the end of the list.
  void Add(const TTCandidate &candidate);

  std::int32_t Count() const { return count; }
  bool IsEmpty() const { return count == 0; }
  /// The sizes the scan saw of all the candidates, added up.
  std::uint64_t TotalSize() const { return totalSize; }

  /// Fills `candidate` with the candidate at `index` (0 <= index < Count()):
  /// the kept fields as they were added, the others at their defaults.
  /// Throws "List: Index Error" for an index out of range.
  void Get(std::int32_t index, TTCandidate &candidate) const;

  /// The device and inode of the candidate at `index`, as Get gives them,
  /// without materialising the candidate.
  std::pair<std::uint64_t, std::uint64_t> FileKey(std::int32_t index) const;

private:
  struct Record {
    const char *name; ///< in the arena, zero-terminated
    std::uint64_t size;
    std::uint64_t device;
    std::uint64_t inode;
    std::uint32_t folder; ///< index into `folders`
    std::uint32_t attributes;
    std::uint32_t mode;
  };
  static_assert(sizeof(Record) <= 48, "a candidate's record grew");

  /// Records per block: 192 KiB blocks.
  static constexpr std::int32_t kRecordsPerBlock = 4096;
  /// Bytes per block of the name arena.
  static constexpr std::size_t kArenaBlock = 64 * 1024;

  /// Copies `text` (and a zero byte) into the arena; returns where it lies.
  const char *Store(std::string_view text);
  /// The number of the folder `directory`, storing it when it is new.
  std::uint32_t FolderOf(const TTString &directory);
  const Record &At(std::int32_t index) const;

  std::int32_t count = 0;
  std::uint64_t totalSize = 0;
  std::vector<std::unique_ptr<Record[]>> records;
  std::vector<std::unique_ptr<char[]>> arena;
  std::size_t arenaUsed = kArenaBlock; ///< bytes used in the last arena block
  std::size_t arenaBytes = 0;          ///< bytes of all arena blocks
  /// Each folder's path, in the arena, by number.
  std::vector<std::string_view> folders;
  std::unordered_map<std::string_view, std::uint32_t> folderNumbers;
  /// The folder of the candidate added last: most candidates share it.
  std::uint32_t lastFolder = 0;
};
