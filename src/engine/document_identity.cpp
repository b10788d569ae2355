//===- engine/document_identity.cpp - Is it still the file that was copied? ===//

#include "engine/document_identity.h"

#include <algorithm>
#include <sys/stat.h>
#include <tuple>

namespace {

bool SameTime(const timespec &a, const timespec &b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

bool DocumentIdentity::IsRegularFile() const { return type == S_IFREG; }

bool DocumentIdentity::IsDirectory() const { return (type & S_IFMT) == S_IFDIR; }

bool DocumentIdentity::SameFile(const DocumentIdentity &other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         SameTime(modified, other.modified) && SameTime(changed, other.changed);
}

namespace {

std::int64_t Nanoseconds(const timespec &time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

} // namespace

RepeatedDocuments::Measurement RepeatedDocuments::MeasurementOf(const DocumentIdentity &document,
                                                                std::uint64_t copySize) {
  return {static_cast<std::uint64_t>(document.device), static_cast<std::uint64_t>(document.inode),
          Nanoseconds(document.changed), static_cast<std::uint32_t>(document.size),
          static_cast<std::uint32_t>(copySize)};
}

bool RepeatedDocuments::KeyBefore(const Measurement &a, const Measurement &b) {
  return std::tie(a.device, a.inode) < std::tie(b.device, b.inode);
}

void RepeatedDocuments::StartEntry(bool later) {
  std::lock_guard lock(mutex);
  expected.clear();
  visits.clear();
  // The measurements of the entry before join the earlier ones, kept sorted
  // for the lookups of this entry.
  std::sort(inHand.begin(), inHand.end(), KeyBefore);
  const std::size_t middle = earlier.size();
  earlier.insert(earlier.end(), inHand.begin(), inHand.end());
  std::inplace_merge(earlier.begin(), earlier.begin() + static_cast<std::ptrdiff_t>(middle),
                     earlier.end(), KeyBefore);
  inHand.clear();
  inHand.shrink_to_fit();
  laterEntries = later;
}

void RepeatedDocuments::Expect(std::uint64_t device, std::uint64_t inode) {
  std::lock_guard lock(mutex);
  expected.emplace(device, inode);
}

void RepeatedDocuments::Replaced(std::uint64_t device, std::uint64_t inode,
                                 const DocumentIdentity &now) {
  std::lock_guard lock(mutex);
  if (expected.count({device, inode}) != 0)
    visits.emplace(Key{device, inode}, Visit{now, now.size, true});
  if (laterEntries)
    inHand.push_back(MeasurementOf(now, now.size));
}

bool RepeatedDocuments::ReplacedInEarlierEntry(const DocumentIdentity &current) const {
  std::lock_guard lock(mutex);
  const Measurement now = MeasurementOf(current, 0);
  const auto [from, to] = std::equal_range(earlier.begin(), earlier.end(), now, KeyBefore);
  return std::any_of(from, to, [&](const Measurement &replaced) {
    return replaced.changed == now.changed && replaced.size == now.size;
  });
}

bool RepeatedDocuments::IsOurReplacement(std::uint64_t device, std::uint64_t inode,
                                         const DocumentIdentity &current) const {
  std::lock_guard lock(mutex);
  const auto [first, last] = visits.equal_range({device, inode});
  return std::any_of(first, last, [&](const auto &visit) {
    return visit.second.replaced && visit.second.file.SameFile(current);
  });
}

void RepeatedDocuments::Measured(const DocumentIdentity &document, std::uint64_t copySize) {
  std::lock_guard lock(mutex);
  const Key key{document.device, document.inode};
  if (expected.count(key) != 0)
    visits.emplace(key, Visit{document, copySize, false});
  if (laterEntries)
    inHand.push_back(MeasurementOf(document, copySize));
}

bool RepeatedDocuments::MeasuredBefore(const DocumentIdentity &document,
                                       std::uint64_t &copySize) const {
  std::lock_guard lock(mutex);
  // SameFile compares device and inode too: only this key's visits can match.
  const auto [first, last] = visits.equal_range({document.device, document.inode});
  for (auto visit = first; visit != last; ++visit) {
    if (!visit->second.replaced && visit->second.file.SameFile(document)) {
      copySize = visit->second.copySize;
      return true;
    }
  }
  // An earlier base entry's measurement of this very file.
  const Measurement now = MeasurementOf(document, 0);
  const auto [from, to] = std::equal_range(earlier.begin(), earlier.end(), now, KeyBefore);
  for (auto measured = from; measured != to; ++measured) {
    if (measured->changed == now.changed && measured->size == now.size) {
      copySize = measured->copySize;
      return true;
    }
  }
  return false;
}
