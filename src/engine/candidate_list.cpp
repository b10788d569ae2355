//===- engine/candidate_list.cpp - The candidates of one base entry, kept lean =//

#include "engine/candidate_list.h"

#include "core/lists.h"

#include <algorithm>
#include <cstring>

const char *TTCandidateList::Store(std::string_view text) {
  const std::size_t needed = text.size() + 1;
  if (kArenaBlock - arenaUsed < needed) {
    // A new block; a name longer than a block gets one of its own size.
    const std::size_t size = std::max(kArenaBlock, needed);
    arena.emplace_back(new char[size]);
    arenaBytes += size;
    arenaUsed = 0;
    if (size > kArenaBlock) {
      // Later names go on into a fresh block rather than after this one.
      char *place = arena.back().get();
      std::memcpy(place, text.data(), text.size());
      place[text.size()] = '\0';
      arenaUsed = kArenaBlock;
      return place;
    }
  }
  char *place = arena.back().get() + arenaUsed;
  std::memcpy(place, text.data(), text.size());
  place[text.size()] = '\0';
  arenaUsed += needed;
  return place;
}

std::uint32_t TTCandidateList::FolderOf(const TTString &directory) {
  const std::string_view path(directory.CStr(), static_cast<std::size_t>(directory.Length()));
  if (!folders.empty() && folders[lastFolder] == path)
    return lastFolder;
  // A walk comes back to a folder after each of its subfolders: look it up.
  auto found = folderNumbers.find(path);
  if (found != folderNumbers.end()) {
    lastFolder = found->second;
    return lastFolder;
  }
  const std::string_view stored(Store(path), path.size());
  lastFolder = static_cast<std::uint32_t>(folders.size());
  folders.push_back(stored);
  folderNumbers.emplace(stored, lastFolder);
  return lastFolder;
}

void TTCandidateList::Add(const TTCandidate &candidate) {
  if (count == TTList::kMaxCapacity)
    ThrowListError(kListCapacityError);
  if (count % kRecordsPerBlock == 0)
    records.emplace_back(new Record[kRecordsPerBlock]);
  Record &record = records.back()[count % kRecordsPerBlock];
  record.folder = FolderOf(candidate.directory);
  record.name = Store(
      std::string_view(candidate.name.CStr(), static_cast<std::size_t>(candidate.name.Length())));
  record.size = candidate.Size();
  record.device = candidate.device;
  record.inode = candidate.inode;
  record.attributes = candidate.attributes;
  record.mode = candidate.mode;
  totalSize += record.size;
  ++count;
}

const TTCandidateList::Record &TTCandidateList::At(std::int32_t index) const {
  if (index < 0 || index >= count)
    ThrowListError(kListIndexError);
  return records[static_cast<std::size_t>(index / kRecordsPerBlock)][index % kRecordsPerBlock];
}

void TTCandidateList::Get(std::int32_t index, TTCandidate &candidate) const {
  const Record &record = At(index);
  candidate = TTCandidate();
  candidate.name = record.name;
  candidate.directory = folders[record.folder].data();
  candidate.sizeHigh = static_cast<std::uint32_t>(record.size >> 32);
  candidate.sizeLow = static_cast<std::uint32_t>(record.size);
  candidate.device = record.device;
  candidate.inode = record.inode;
  candidate.attributes = record.attributes;
  candidate.mode = record.mode;
}

std::pair<std::uint64_t, std::uint64_t> TTCandidateList::FileKey(std::int32_t index) const {
  const Record &record = At(index);
  return {record.device, record.inode};
}
