//===- tests/engine/compound_builder.cpp - Small compound files for tests -===//

#include "compound_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>

namespace {

constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::size_t kSector = 512;
constexpr std::size_t kMiniSector = 64;
constexpr std::size_t kMiniCutoff = 4096;

void Put16(std::string &b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string &b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::size_t SectorsFor(std::size_t bytes, std::size_t unit) {
  return (bytes + unit - 1) / unit;
}

/// The format's sibling order: shorter names first, then by the upper-cased
/// characters (the test names are ASCII).
bool NameLess(const std::string &a, const std::string &b) {
  if (a.size() != b.size())
    return a.size() < b.size();
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = static_cast<char>(std::toupper(static_cast<unsigned char>(a[i])));
    char y = static_cast<char>(std::toupper(static_cast<unsigned char>(b[i])));
    if (x != y)
      return x < y;
  }
  return false;
}

} // namespace

std::string PatternBytes(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  std::uint32_t state = seed * 2654435761u + 12345u;
  for (std::size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

int CompoundBuilder::FindChild(int parent, const std::string &name) const {
  for (int child : nodes[parent].children)
    if (nodes[child].name == name)
      return child;
  return -1;
}

int CompoundBuilder::AddNode(const std::string &path, bool storage,
                             std::string data) {
  int parent = 0;
  std::size_t start = 0;
  for (;;) {
    std::size_t slash = path.find('/', start);
    std::string part = path.substr(start, slash - start);
    if (slash == std::string::npos) {
      Node node{part, storage, std::move(data), parent, {}};
      nodes.push_back(std::move(node));
      int id = static_cast<int>(nodes.size()) - 1;
      nodes[parent].children.push_back(id);
      return id;
    }
    parent = FindChild(parent, part);
    EXPECT_GE(parent, 0) << "missing storage " << part << " in " << path;
    start = slash + 1;
  }
}

CompoundBuilder &CompoundBuilder::AddStorage(const std::string &path) {
  AddNode(path, true, {});
  return *this;
}

CompoundBuilder &CompoundBuilder::AddStream(const std::string &path,
                                            std::string data) {
  AddNode(path, false, std::move(data));
  return *this;
}

CompoundBuilder &CompoundBuilder::SetFreeSectorsAfterStreams(int count) {
  freeAfterStreams = count;
  return *this;
}

CompoundBuilder &CompoundBuilder::SetFreeSectorsAtEnd(int count) {
  freeAtEnd = count;
  return *this;
}

std::string CompoundBuilder::Build() const {
  const std::size_t n = nodes.size();
  // Directory ids: the node order (root first).
  // Mini stream: every stream below the cutoff, each padded to 64 bytes.
  std::string miniStream;
  std::vector<std::uint32_t> miniFat;
  std::vector<std::uint32_t> start(n, kEndOfChain);
  for (std::size_t i = 1; i < n; ++i) {
    const Node &node = nodes[i];
    if (node.storage) {
      start[i] = 0;
      continue;
    }
    if (node.data.empty() || node.data.size() >= kMiniCutoff)
      continue;
    std::size_t first = miniStream.size() / kMiniSector;
    std::size_t count = SectorsFor(node.data.size(), kMiniSector);
    start[i] = static_cast<std::uint32_t>(first);
    for (std::size_t k = 0; k < count; ++k)
      miniFat.push_back(k + 1 < count ? static_cast<std::uint32_t>(first + k + 1)
                                      : kEndOfChain);
    std::string padded = node.data;
    padded.resize(count * kMiniSector, '\0');
    miniStream += padded;
  }

  const std::size_t dirSectors = SectorsFor(n * 128, kSector);
  const std::size_t miniFatSectors = SectorsFor(miniFat.size() * 4, kSector);
  const std::size_t miniStreamSectors = SectorsFor(miniStream.size(), kSector);
  std::size_t bigSectors = 0;
  for (std::size_t i = 1; i < n; ++i)
    if (!nodes[i].storage && nodes[i].data.size() >= kMiniCutoff)
      bigSectors += SectorsFor(nodes[i].data.size(), kSector) + freeAfterStreams;
  const std::size_t content = dirSectors + miniFatSectors + miniStreamSectors +
                              bigSectors + freeAtEnd;
  std::size_t fatSectors = 1;
  while (fatSectors * (kSector / 4) < content + fatSectors)
    ++fatSectors;
  EXPECT_LE(fatSectors, 109u) << "test builder writes no DIFAT sectors";
  const std::size_t total = fatSectors + content;

  std::vector<std::uint32_t> fat(fatSectors * (kSector / 4), kFreeSect);
  std::string body(total * kSector, '\0');
  std::size_t next = 0;
  auto chain = [&](std::size_t count) {
    std::size_t first = next;
    for (std::size_t k = 0; k < count; ++k)
      fat[first + k] = k + 1 < count ? static_cast<std::uint32_t>(first + k + 1)
                                     : kEndOfChain;
    next += count;
    return static_cast<std::uint32_t>(first);
  };
  for (std::size_t k = 0; k < fatSectors; ++k)
    fat[next++] = kFatSect;
  const std::uint32_t dirStart = chain(dirSectors);
  const std::uint32_t miniFatStart =
      miniFatSectors ? chain(miniFatSectors) : kEndOfChain;
  const std::uint32_t miniStreamStart =
      miniStreamSectors ? chain(miniStreamSectors) : kEndOfChain;
  body.replace(miniStreamStart == kEndOfChain ? 0 : miniStreamStart * kSector,
               miniStream.size(), miniStream);
  for (std::size_t k = 0; k < miniFat.size(); ++k)
    Put32(body, miniFatStart * kSector + 4 * k, miniFat[k]);
  for (std::size_t k = miniFat.size(); k < miniFatSectors * (kSector / 4); ++k)
    Put32(body, miniFatStart * kSector + 4 * k, kFreeSect);
  for (std::size_t i = 1; i < n; ++i) {
    const Node &node = nodes[i];
    if (node.storage || node.data.size() < kMiniCutoff)
      continue;
    start[i] = chain(SectorsFor(node.data.size(), kSector));
    body.replace(start[i] * kSector, node.data.size(), node.data);
    // Stale bytes in the free sectors, as deleted content leaves them.
    std::string stale = PatternBytes(freeAfterStreams * kSector, i + 77);
    body.replace(next * kSector, stale.size(), stale);
    next += freeAfterStreams;
  }
  EXPECT_EQ(total - freeAtEnd, next);
  for (std::size_t k = 0; k < fatSectors; ++k)
    for (std::size_t e = 0; e < kSector / 4; ++e)
      Put32(body, k * kSector + 4 * e, fat[k * (kSector / 4) + e]);

  // Directory: each storage's children as a balanced search tree in the
  // format's order; the nodes on an incomplete bottom level are red, so
  // every path has the same number of black nodes.
  std::vector<std::uint32_t> left(n, kNoStream), right(n, kNoStream),
      child(n, kNoStream);
  std::vector<int> color(n, 1);
  for (std::size_t s = 0; s < n; ++s) {
    std::vector<int> kids = nodes[s].children;
    if (kids.empty())
      continue;
    std::sort(kids.begin(), kids.end(), [&](int a, int b) {
      return NameLess(nodes[a].name, nodes[b].name);
    });
    int height = 0;
    while ((std::size_t(1) << height) - 1 < kids.size())
      ++height;
    bool perfect = ((std::size_t(1) << height) - 1) == kids.size();
    std::function<std::uint32_t(int, int, int)> build =
        [&](int lo, int hi, int depth) -> std::uint32_t {
      if (lo > hi)
        return kNoStream;
      int mid = (lo + hi + 1) / 2;
      int id = kids[mid];
      left[id] = build(lo, mid - 1, depth + 1);
      right[id] = build(mid + 1, hi, depth + 1);
      color[id] = (!perfect && depth == height - 1) ? 0 : 1;
      return static_cast<std::uint32_t>(id);
    };
    child[s] = build(0, static_cast<int>(kids.size()) - 1, 0);
  }
  for (std::size_t i = 0; i < dirSectors * 4; ++i) {
    std::size_t at = dirStart * kSector + i * 128;
    if (i >= n) {
      Put32(body, at + 68, kNoStream);
      Put32(body, at + 72, kNoStream);
      Put32(body, at + 76, kNoStream);
      continue;
    }
    const Node &node = nodes[i];
    for (std::size_t c = 0; c < node.name.size() && c < 31; ++c)
      Put16(body, at + 2 * c, static_cast<unsigned char>(node.name[c]));
    Put16(body, at + 64, static_cast<std::uint16_t>((node.name.size() + 1) * 2));
    body[at + 66] = static_cast<char>(i == 0 ? 5 : node.storage ? 1 : 2);
    body[at + 67] = static_cast<char>(color[i]);
    Put32(body, at + 68, left[i]);
    Put32(body, at + 72, right[i]);
    Put32(body, at + 76, child[i]);
    if (i == 0) {
      Put32(body, at + 116, miniStreamStart);
      Put32(body, at + 120, static_cast<std::uint32_t>(miniStream.size()));
    } else {
      Put32(body, at + 116, start[i]);
      Put32(body, at + 120, static_cast<std::uint32_t>(node.data.size()));
    }
  }

  std::string header(kSector, '\0');
  const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0,
                                      0xA1, 0xB1, 0x1A, 0xE1};
  for (int i = 0; i < 8; ++i)
    header[i] = static_cast<char>(signature[i]);
  Put16(header, 24, 0x003E);
  Put16(header, 26, 3);
  Put16(header, 28, 0xFFFE);
  Put16(header, 30, 9);
  Put16(header, 32, 6);
  Put32(header, 44, static_cast<std::uint32_t>(fatSectors));
  Put32(header, 48, dirStart);
  Put32(header, 56, kMiniCutoff);
  Put32(header, 60, miniFatStart);
  Put32(header, 64, static_cast<std::uint32_t>(miniFatSectors));
  Put32(header, 68, kEndOfChain);
  for (std::size_t k = 0; k < 109; ++k)
    Put32(header, 76 + 4 * k,
          k < fatSectors ? static_cast<std::uint32_t>(k) : kFreeSect);
  return header + body;
}

void CompoundBuilder::WriteTo(const std::string &fileName) const {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  ASSERT_TRUE(out) << "cannot write " << fileName;
  std::string bytes = Build();
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good());
}
