//===- tests/support/cfb_builder.cpp - Byte-by-byte compound files --------===//
#include "support/cfb_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>

namespace velkor::test {

namespace {

constexpr std::uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatMark = 0xFFFFFFFD,
                        kDifMark = 0xFFFFFFFC, kNone = 0xFFFFFFFF;

std::uint64_t Ceil(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

void Put16(std::vector<std::uint8_t> &b, std::uint64_t at, std::uint16_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = v >> 8;
}
void Put32(std::vector<std::uint8_t> &b, std::uint64_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b[at + i] = (v >> (8 * i)) & 0xFF;
}
void Put64(std::vector<std::uint8_t> &b, std::uint64_t at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i)
    b[at + i] = (v >> (8 * i)) & 0xFF;
}

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? c - 32 : c; }

} // namespace

bool NameLess(const std::u16string &a, const std::u16string &b) {
  if (a.size() != b.size())
    return a.size() < b.size();
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i]))
      return Upper(a[i]) < Upper(b[i]);
  return false;
}

std::uint64_t BuiltFile::DirEntryOffset(std::uint32_t id) const {
  std::uint32_t perSector = sectorSize / 128;
  return SectorOffset(dirSectors.at(id / perSector)) + (id % perSector) * 128;
}
std::uint64_t BuiltFile::FatEntryOffset(std::uint32_t sector) const {
  std::uint32_t perSector = sectorSize / 4;
  return SectorOffset(fatSectors.at(sector / perSector)) + (sector % perSector) * 4;
}
std::uint64_t BuiltFile::MiniFatEntryOffset(std::uint32_t miniSector) const {
  std::uint32_t perSector = sectorSize / 4;
  return SectorOffset(miniFatSectors.at(miniSector / perSector)) + (miniSector % perSector) * 4;
}
void BuiltFile::Set16(std::uint64_t offset, std::uint16_t value) { Put16(bytes, offset, value); }
void BuiltFile::Set32(std::uint64_t offset, std::uint32_t value) { Put32(bytes, offset, value); }
void BuiltFile::Set64(std::uint64_t offset, std::uint64_t value) { Put64(bytes, offset, value); }
std::uint32_t BuiltFile::Get32(std::uint64_t offset) const {
  return bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16) |
         (std::uint32_t{bytes[offset + 3]} << 24);
}
void BuiltFile::Save(const std::string &path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out)
    throw std::runtime_error("cannot write " + path);
}
void BuiltFile::WriteTo(const std::string &path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  ASSERT_TRUE(out) << "cannot write " << path;
  out.write(reinterpret_cast<const char *>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good());
}

std::vector<std::uint8_t> ReadFileBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int CfbBuilder::AddStorage(int parent, const std::u16string &name) {
  Item item;
  item.name = name;
  item.storage = true;
  item.parent = parent;
  items.push_back(item);
  return static_cast<int>(items.size()) - 1;
}

int CfbBuilder::AddStream(int parent, const std::u16string &name, std::vector<std::uint8_t> data) {
  Item item;
  item.name = name;
  item.parent = parent;
  item.data = std::move(data);
  items.push_back(std::move(item));
  return static_cast<int>(items.size()) - 1;
}

std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> data(size);
  std::uint32_t x = seed * 2654435761u + 12345;
  for (auto &byte : data) {
    x = x * 1103515245u + 12345;
    byte = static_cast<std::uint8_t>(x >> 16);
  }
  return data;
}

std::string PatternBytes(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> data = Pattern(size, seed);
  return std::string(data.begin(), data.end());
}

int CfbBuilder::AddPath(const std::string &path, bool storage, const std::string &data) {
  auto wide = [](const std::string &name) {
    std::u16string text;
    for (unsigned char c : name)
      text.push_back(c);
    return text;
  };
  int parent = -1;
  std::size_t start = 0;
  for (std::size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1) {
    const std::u16string part = wide(path.substr(start, slash - start));
    int found = -1;
    for (std::size_t i = 0; i < items.size() && found < 0; ++i)
      if (items[i].storage && items[i].parent == parent && items[i].name == part)
        found = static_cast<int>(i);
    EXPECT_GE(found, 0) << "missing storage " << path.substr(0, slash) << " in " << path;
    parent = found;
  }
  const std::u16string name = wide(path.substr(start));
  return storage ? AddStorage(parent, name)
                 : AddStream(parent, name, std::vector<std::uint8_t>(data.begin(), data.end()));
}

CfbBuilder &CfbBuilder::AddStorage(const std::string &path) {
  AddPath(path, true, {});
  return *this;
}

CfbBuilder &CfbBuilder::AddStream(const std::string &path, const std::string &data) {
  AddPath(path, false, data);
  return *this;
}

int CfbBuilder::AddPatternStream(int parent, const std::u16string &name, std::size_t size,
                                 unsigned seed) {
  return AddStream(parent, name, Pattern(size, seed));
}

void CfbBuilder::SetMeta(int index, std::uint8_t classIdSeed, std::uint32_t stateBits,
                         std::uint64_t creation, std::uint64_t modified) {
  Item &item = index < 0 ? root : items.at(index);
  for (int i = 0; i < 16; ++i)
    item.classId[i] = static_cast<std::uint8_t>(classIdSeed + i * 7);
  item.stateBits = stateBits;
  item.creation = creation;
  item.modified = modified;
}

BuiltFile CfbBuilder::Build() const {
  BuiltFile out;
  const std::uint32_t S = version == 3 ? 512 : 4096;
  const std::uint32_t E = S / 4;
  out.sectorSize = S;
  const std::size_t n = items.size();
  out.directoryId.resize(n);
  out.chain.resize(n);
  for (std::size_t i = 0; i < n; ++i)
    out.directoryId[i] = static_cast<std::uint32_t>(i + 1);

  auto isSmall = [&](const Item &it) {
    return !it.storage && !it.data.empty() && it.data.size() < 4096;
  };
  auto isBig = [&](const Item &it) { return !it.storage && it.data.size() >= 4096; };

  // Counts first, so that the FAT's size is known before anything is placed.
  std::uint64_t miniTotal = 0, bigSectors = 0, chains = 0, bigChains = 0;
  std::size_t smallCount = 0;
  for (const Item &it : items) {
    if (isSmall(it)) {
      miniTotal += Ceil(it.data.size(), 64) + miniGap;
      ++smallCount;
    }
    if (isBig(it)) {
      bigSectors += Ceil(it.data.size(), S);
      ++chains;
      ++bigChains;
    }
  }
  const std::uint64_t miniStreamSecs = Ceil(miniTotal * 64, S);
  const std::uint64_t miniFatSecs = Ceil(miniTotal, E) + extraMiniFat;
  const std::uint64_t dirSecs = Ceil((n + 1) * 128, S);
  chains += 1 + (miniStreamSecs > 0) + (miniFatSecs > 0);
  const std::uint64_t nonFat = bigSectors + miniStreamSecs + dirSecs + miniFatSecs + chains * gap +
                               bigChains * streamGap + endGap;
  std::uint64_t F = std::max<std::uint64_t>(minFatSectors, 1), X = 0;
  for (;; ++F) {
    X = F > 109 ? Ceil(F - 109, E - 1) : 0;
    if (F * E >= nonFat + F + X)
      break;
  }
  const std::uint64_t total = nonFat + F + X;
  out.bytes.assign(S + total * S, 0);
  std::vector<std::uint32_t> fat(F * E, kFree);

  std::uint32_t next = 0;
  auto alloc = [&](std::uint64_t count, bool withGap) {
    std::vector<std::uint32_t> sectors;
    for (std::uint64_t k = 0; k < count; ++k)
      sectors.push_back(next++);
    for (std::size_t k = 0; k < sectors.size(); ++k)
      fat[sectors[k]] = k + 1 < sectors.size() ? sectors[k + 1] : kEnd;
    if (withGap)
      for (std::uint32_t g = 0; g < gap; ++g) {
        std::memset(out.bytes.data() + out.SectorOffset(next), 0xEE, S);
        ++next;
      }
    return sectors;
  };
  auto allocFat = [&] {
    for (std::uint64_t k = 0; k < F; ++k) {
      out.fatSectors.push_back(next);
      fat[next++] = kFatMark;
    }
    for (std::uint64_t k = 0; k < X; ++k) {
      out.difatSectors.push_back(next);
      fat[next++] = kDifMark;
    }
  };
  auto allocBig = [&] {
    for (std::size_t i = 0; i < n; ++i) {
      if (!isBig(items[i]))
        continue;
      out.chain[i] = alloc(Ceil(items[i].data.size(), S), true);
      if (streamGap == 0)
        continue;
      // Stale bytes in the free sectors, as deleted content leaves them.
      const std::vector<std::uint8_t> stale =
          Pattern(std::size_t{streamGap} * S, static_cast<unsigned>(i + 78));
      std::memcpy(out.bytes.data() + out.SectorOffset(next), stale.data(), stale.size());
      next += streamGap;
    }
  };
  auto allocStructures = [&] {
    out.dirSectors = alloc(dirSecs, true);
    if (miniFatSecs > 0)
      out.miniFatSectors = alloc(miniFatSecs, true);
    if (miniStreamSecs > 0)
      out.miniStreamSectors = alloc(miniStreamSecs, true);
  };
  if (order == Order::DataFirst) {
    allocBig();
    allocStructures();
    allocFat();
  } else {
    allocFat();
    allocStructures();
    allocBig();
  }
  next += endGap;

  if (next != total)
    throw std::logic_error("builder: sectors allocated differ from sectors counted");

  // Stream data.
  for (std::size_t i = 0; i < n; ++i)
    if (isBig(items[i]))
      for (std::size_t k = 0; k < out.chain[i].size(); ++k) {
        std::size_t from = k * S, len = std::min<std::size_t>(S, items[i].data.size() - from);
        std::memcpy(out.bytes.data() + out.SectorOffset(out.chain[i][k]),
                    items[i].data.data() + from, len);
      }

  // Mini stream and mini FAT.
  std::vector<std::uint8_t> mini(miniTotal * 64, 0xEE);
  std::vector<std::uint32_t> miniFat(miniFatSecs * E, kFree);
  std::uint32_t miniNext = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!isSmall(items[i]))
      continue;
    std::uint32_t count = static_cast<std::uint32_t>(Ceil(items[i].data.size(), 64));
    std::fill(mini.begin() + miniNext * 64, mini.begin() + (miniNext + count) * 64, 0);
    std::memcpy(mini.data() + miniNext * 64, items[i].data.data(), items[i].data.size());
    for (std::uint32_t k = 0; k < count; ++k) {
      out.chain[i].push_back(miniNext + k);
      miniFat[miniNext + k] = k + 1 < count ? miniNext + k + 1 : kEnd;
    }
    miniNext += count + miniGap;
  }
  for (std::size_t k = 0; k < out.miniStreamSectors.size(); ++k) {
    std::size_t from = k * S, len = std::min<std::size_t>(S, mini.size() - from);
    std::memcpy(out.bytes.data() + out.SectorOffset(out.miniStreamSectors[k]), mini.data() + from,
                len);
  }
  for (std::size_t k = 0; k < miniFat.size(); ++k)
    Put32(out.bytes, out.SectorOffset(out.miniFatSectors[k / E]) + (k % E) * 4, miniFat[k]);

  // Directory: sibling links per storage.
  std::vector<std::uint32_t> left(n + 1, kNone), right(n + 1, kNone), child(n + 1, kNone);
  std::vector<std::uint8_t> color(n + 1, 1);
  for (int parent = -1; parent < static_cast<int>(n); ++parent) {
    std::vector<std::uint32_t> kids;
    for (std::size_t i = 0; i < n; ++i)
      if (items[i].parent == parent)
        kids.push_back(static_cast<std::uint32_t>(i + 1));
    if (kids.empty())
      continue;
    auto nameOf = [&](std::uint32_t id) -> const std::u16string & { return items[id - 1].name; };
    if (siblingShape != SiblingShape::Unsorted)
      std::stable_sort(kids.begin(), kids.end(), [&](std::uint32_t a, std::uint32_t b) {
        return NameLess(nameOf(a), nameOf(b));
      });
    std::uint32_t top;
    if (siblingShape == SiblingShape::Balanced) {
      std::function<std::uint32_t(std::size_t, std::size_t)> build = [&](std::size_t lo,
                                                                         std::size_t hi) {
        if (lo >= hi)
          return kNone;
        std::size_t mid = (lo + hi) / 2;
        left[kids[mid]] = build(lo, mid);
        right[kids[mid]] = build(mid + 1, hi);
        return kids[mid];
      };
      top = build(0, kids.size());
    } else if (siblingShape == SiblingShape::RedBlack) {
      // The upper middle at the top; when the bottom level is not full its
      // nodes are red, so every path holds as many black nodes.
      std::size_t height = 0;
      while ((std::size_t{1} << height) - 1 < kids.size())
        ++height;
      const bool perfect = (std::size_t{1} << height) - 1 == kids.size();
      std::function<std::uint32_t(std::size_t, std::size_t, std::size_t)> build =
          [&](std::size_t lo, std::size_t hi, std::size_t depth) {
            if (lo >= hi)
              return kNone;
            std::size_t mid = (lo + hi) / 2;
            left[kids[mid]] = build(lo, mid, depth + 1);
            right[kids[mid]] = build(mid + 1, hi, depth + 1);
            color[kids[mid]] = !perfect && depth + 1 == height ? 0 : 1;
            return kids[mid];
          };
      top = build(0, kids.size(), 0);
    } else {
      for (std::size_t k = 0; k + 1 < kids.size(); ++k)
        right[kids[k]] = kids[k + 1];
      top = kids[0];
    }
    child[parent + 1] = top;
  }
  auto writeEntry = [&](std::uint32_t id, const Item &it, std::uint8_t type, std::uint32_t start,
                        std::uint64_t size) {
    std::uint64_t at = out.DirEntryOffset(id);
    for (std::size_t k = 0; k < it.name.size(); ++k)
      Put16(out.bytes, at + 2 * k, it.name[k]);
    Put16(out.bytes, at + 0x40, static_cast<std::uint16_t>((it.name.size() + 1) * 2));
    out.bytes[at + 0x42] = type;
    out.bytes[at + 0x43] = color[id];
    Put32(out.bytes, at + 0x44, left[id]);
    Put32(out.bytes, at + 0x48, right[id]);
    Put32(out.bytes, at + 0x4C, child[id]);
    std::memcpy(out.bytes.data() + at + 0x50, it.classId.data(), 16);
    Put32(out.bytes, at + 0x60, it.stateBits);
    Put64(out.bytes, at + 0x64, it.creation);
    Put64(out.bytes, at + 0x6C, it.modified);
    Put32(out.bytes, at + 0x74, start);
    Put64(out.bytes, at + 0x78, size);
  };
  Item rootItem = root;
  rootItem.name = rootName;
  writeEntry(0, rootItem, 5, miniStreamSecs > 0 ? out.miniStreamSectors[0] : kEnd, miniTotal * 64);
  for (std::size_t i = 0; i < n; ++i) {
    const Item &it = items[i];
    if (it.storage)
      writeEntry(i + 1, it, 1, 0, 0);
    else
      writeEntry(i + 1, it, 2, it.data.empty() ? kEnd : out.chain[i][0], it.data.size());
  }
  for (std::uint32_t id = n + 1; id < dirSecs * (S / 128); ++id) {
    std::uint64_t at = out.DirEntryOffset(id);
    Put32(out.bytes, at + 0x44, kNone);
    Put32(out.bytes, at + 0x48, kNone);
    Put32(out.bytes, at + 0x4C, kNone);
  }

  // FAT and DIFAT.
  for (std::size_t k = 0; k < fat.size(); ++k)
    Put32(out.bytes, out.SectorOffset(out.fatSectors[k / E]) + (k % E) * 4, fat[k]);
  for (std::size_t j = 0; j < X; ++j) {
    std::uint64_t at = out.SectorOffset(out.difatSectors[j]);
    for (std::uint32_t k = 0; k + 1 < E; ++k) {
      std::size_t index = 109 + j * (E - 1) + k;
      Put32(out.bytes, at + 4 * k, index < F ? out.fatSectors[index] : kFree);
    }
    Put32(out.bytes, at + 4 * (E - 1), j + 1 < X ? out.difatSectors[j + 1] : kEnd);
  }

  // Header.
  static const std::uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(out.bytes.data(), signature, 8);
  Put16(out.bytes, 0x18, 0x3E);
  Put16(out.bytes, 0x1A, static_cast<std::uint16_t>(version));
  Put16(out.bytes, 0x1C, 0xFFFE);
  Put16(out.bytes, 0x1E, version == 3 ? 9 : 12);
  Put16(out.bytes, 0x20, 6);
  Put32(out.bytes, 0x28, version == 3 ? 0 : static_cast<std::uint32_t>(dirSecs));
  Put32(out.bytes, 0x2C, static_cast<std::uint32_t>(F));
  Put32(out.bytes, 0x30, out.dirSectors[0]);
  Put32(out.bytes, 0x38, 4096);
  Put32(out.bytes, 0x3C, miniFatSecs > 0 ? out.miniFatSectors[0] : kEnd);
  Put32(out.bytes, 0x40, static_cast<std::uint32_t>(miniFatSecs));
  Put32(out.bytes, 0x44, X > 0 ? out.difatSectors[0] : kEnd);
  Put32(out.bytes, 0x48, static_cast<std::uint32_t>(X));
  for (std::uint32_t k = 0; k < 109; ++k)
    Put32(out.bytes, 0x4C + 4 * k, k < F ? out.fatSectors[k] : kFree);
  return out;
}

CfbBuilder SampleDocument(int version, bool streamMetadata) {
  CfbBuilder b(version);
  b.SetMeta(-1, 0x10, 0x3, 0x01D0000000000001ull, 0x01D0000000000002ull);
  int word = b.AddPatternStream(-1, u"WordDocument", 9000, 1);
  if (streamMetadata)
    b.SetMeta(word, 0x20, 7, 11, 12);
  b.AddPatternStream(-1, u"1Table", 1500, 2);
  b.AddPatternStream(-1, u"\x05SummaryInformation", 400, 3);
  int objects = b.AddStorage(-1, u"ObjectPool");
  b.SetMeta(objects, 0x40, 0, 0x01D0000000000003ull, 0x01D0000000000004ull);
  int inner = b.AddStorage(objects, u"_1234");
  b.AddPatternStream(inner, u"\x01Ole", 20, 4);
  b.AddPatternStream(inner, u"Contents", 5000, 5);
  b.AddStream(inner, u"Empty", {});
  b.AddStorage(objects, u"EmptyStorage");
  return b;
}

std::vector<QuirkyFile> ChainTailQuirks() {
  const int word = 0; // builder items of SampleDocument
  const BuiltFile base = SampleDocument().Gaps(1, 2).Build();
  const std::uint32_t outside = 0x00FFFFFF; // far past the end of the file
  std::vector<QuirkyFile> files;
  auto add = [&](const char *name, const std::function<void(BuiltFile &)> &change) {
    files.push_back({name, base});
    change(files.back().file);
  };
  // Tolerated: the loop lies past what the size needs, so no byte of the stream depends on it.
  add("stream chain goes on past its size and loops back", [&](BuiltFile &f) {
    const std::uint32_t last = f.chain[word].back(), spare = last + 1; // the free sector after it
    f.Set32(f.FatEntryOffset(last), spare);
    f.Set32(f.FatEntryOffset(spare), f.chain[word][0]);
  });
  // Tolerated: each stream's size ends its chain before the next stream's sectors, so none are
  // shared.
  add("small streams' chains never terminated", [&](BuiltFile &f) {
    const std::uint32_t miniSectors =
        static_cast<std::uint32_t>(f.Get32(f.DirEntryOffset(0) + 0x78) / 64);
    for (std::uint32_t m = 0; m + 1 < miniSectors; ++m)
      f.Set32(f.MiniFatEntryOffset(m), m + 1);
  });
  // Tolerated: the pointer lies past what the size needs, so it is never followed.
  add("stream chain's tail points outside the file",
      [&](BuiltFile &f) { f.Set32(f.FatEntryOffset(f.chain[word].back()), outside); });
  // Tolerated: the same for the mini stream's own chain, sized by the root's size.
  add("mini stream chain's tail points outside the file",
      [&](BuiltFile &f) { f.Set32(f.FatEntryOffset(f.miniStreamSectors.back()), outside); });
  return files;
}

} // namespace velkor::test
