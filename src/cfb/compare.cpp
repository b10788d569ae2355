//===- cfb/compare.cpp - Entry-by-entry comparison of two trees -----------===//
#include "cfb/compare.h"

#include <array>
#include <cstring>
#include <utility>
#include <vector>

namespace cfb {

namespace {

const char *KindName(EntryKind kind) {
  switch (kind) {
  case EntryKind::Root:
    return "root";
  case EntryKind::Storage:
    return "storage";
  case EntryKind::Stream:
    return "stream";
  }
  return "?";
}

/// Calls the comparison's checkpoint after every megabyte of stream bytes.
class CompareProgress {
public:
  explicit CompareProgress(const std::function<void()> &checkpoint) : checkpoint(checkpoint) {}
  void Compared(std::size_t bytes) {
    sinceCheck += bytes;
    if (sinceCheck >= kStep && checkpoint) {
      sinceCheck = 0;
      checkpoint();
    }
  }

private:
  static constexpr std::size_t kStep = 1u << 20;
  const std::function<void()> &checkpoint;
  std::size_t sinceCheck = 0;
};

std::optional<std::string> CompareEntries(const Source &a, std::uint32_t ia, const Source &b,
                                          std::uint32_t ib, CompareProgress &progress) {
  const Entry &x = a.GetTree().entries[ia];
  const Entry &y = b.GetTree().entries[ib];
  if (x.kind != y.kind)
    return std::string("kind differs: ") + KindName(x.kind) + " / " + KindName(y.kind);
  if (x.kind != EntryKind::Root && x.name != y.name)
    return "raw name differs: " + y.displayName;
  if (x.classId != y.classId)
    return "class id differs: " + FormatClassId(x.classId) + " / " + FormatClassId(y.classId);
  if (x.stateBits != y.stateBits)
    return "state bits differ";
  if (x.creationTime != y.creationTime)
    return "creation time differs";
  if (x.modifiedTime != y.modifiedTime)
    return "modified time differs";
  if (x.kind == EntryKind::Stream) {
    if (x.size != y.size)
      return "stream size differs: " + std::to_string(x.size) + " / " + std::to_string(y.size);
    std::vector<std::byte> bufferA(1 << 16), bufferB(1 << 16);
    for (std::uint64_t offset = 0; offset < x.size;) {
      std::size_t gotA = a.ReadStream(ia, offset, bufferA);
      std::size_t gotB = b.ReadStream(ib, offset, bufferB);
      if (gotA != gotB || gotA == 0)
        return "stream could not be read at offset " + std::to_string(offset);
      if (std::memcmp(bufferA.data(), bufferB.data(), gotA) != 0) {
        std::size_t at = 0;
        while (bufferA[at] == bufferB[at])
          ++at;
        return "stream bytes differ at offset " + std::to_string(offset + at);
      }
      offset += gotA;
      progress.Compared(gotA);
    }
  }
  if (x.children.size() != y.children.size())
    return "child count differs: " + std::to_string(x.children.size()) + " / " +
           std::to_string(y.children.size());
  return std::nullopt;
}

} // namespace

std::optional<Difference> CompareTrees(const Source &a, const Source &b,
                                       const std::function<void()> &checkpoint) {
  CompareProgress progress(checkpoint);
  // Both trees list children in the format's name order, so equal trees
  // pair up child by child.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> stack{{0, 0}};
  while (!stack.empty()) {
    auto [ia, ib] = stack.back();
    stack.pop_back();
    if (auto detail = CompareEntries(a, ia, b, ib, progress))
      return Difference{a.GetTree().PathOf(ia), *detail};
    const auto &ka = a.GetTree().entries[ia].children;
    const auto &kb = b.GetTree().entries[ib].children;
    for (std::size_t k = ka.size(); k-- > 0;)
      stack.push_back({ka[k], kb[k]});
  }
  return std::nullopt;
}

std::optional<Difference> CompareFiles(const std::string &pathA, const std::string &pathB) {
  Source a = Source::Open(pathA);
  Source b = Source::Open(pathB);
  return CompareTrees(a, b);
}

} // namespace cfb
