//===- tests/robust/hostile_corpus.cpp - Generating malformed compound files ===//
#include "hostile_corpus.h"

#include "cfb/compound_file.h"

#include "support/cfb_builder.h"
#include "support/raw_view.h"
#include "support/test_tree.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <unistd.h>

namespace velkor::test {

namespace {

using Bytes = std::vector<std::uint8_t>;
using cfb::Reason;

constexpr std::uint32_t kMaxReg = 0xFFFFFFFA, kReserved = 0xFFFFFFFB, kDif = 0xFFFFFFFC,
                        kFatMark = 0xFFFFFFFD, kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF;

std::uint16_t Get16(const Bytes &b, std::uint64_t at) {
  return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
std::uint32_t Get32(const Bytes &b, std::uint64_t at) {
  return Get16(b, at) | (std::uint32_t{Get16(b, at + 2)} << 16);
}
std::uint64_t Get64(const Bytes &b, std::uint64_t at) {
  return Get32(b, at) | (std::uint64_t{Get32(b, at + 4)} << 32);
}
void Put16(Bytes &b, std::uint64_t at, std::uint16_t v) {
  b.at(at) = static_cast<std::uint8_t>(v);
  b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes &b, std::uint64_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put64(Bytes &b, std::uint64_t at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i)
    b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

std::string Hex(std::uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
  return text;
}

// Reasons that belong to the header's fixed fields; damage elsewhere must
// not be reported as one of these.
const std::set<Reason> kHeaderReasons = {Reason::BadSignature,       Reason::BadByteOrder,
                                         Reason::UnsupportedVersion, Reason::BadSectorShift,
                                         Reason::BadMiniSectorShift, Reason::BadMiniStreamCutoff,
                                         Reason::NotRegularFile,     Reason::FileTooSmall};
const std::set<Reason> kChainReasons = {Reason::SectorOutOfRange,     Reason::ChainLoop,
                                        Reason::CrossLinkedChain,     Reason::ShortChain,
                                        Reason::TruncatedFile,        Reason::CountOutOfRange,
                                        Reason::MiniStreamOutsideRoot};
const std::set<Reason> kDirectoryReasons = {Reason::BadRootEntry,     Reason::EntryOutOfRange,
                                            Reason::UnknownEntryType, Reason::BadNameLength,
                                            Reason::DirectoryLoop,    Reason::DuplicateName};

std::set<Reason> Union(std::set<Reason> a, const std::set<Reason> &b) {
  a.insert(b.begin(), b.end());
  return a;
}
// Any reason about the structures behind the header.
const std::set<Reason> kStructural = Union(kChainReasons, kDirectoryReasons);

class Corpus {
public:
  explicit Corpus(const CaseSink &sink) : sink(sink) {}
  const CaseSink &sink;

  void Add(std::string name, Bytes bytes, std::set<Reason> reasons, bool mayAccept) {
    HostileCase c;
    c.name = std::move(name);
    c.bytes = std::move(bytes);
    c.reasons = std::move(reasons);
    c.mayAccept = mayAccept;
    sink(std::move(c));
  }
  void Refused(std::string name, Bytes bytes, std::set<Reason> reasons) {
    Add(std::move(name), std::move(bytes), std::move(reasons), false);
  }
  void Accepted(std::string name, Bytes bytes, std::uint64_t sparseSize = 0) {
    HostileCase c;
    c.name = std::move(name);
    c.bytes = std::move(bytes);
    c.mayAccept = c.mustAccept = true;
    c.sparseSize = sparseSize;
    sink(std::move(c));
  }
};

// ---------------------------------------------------------------------------
// Valid base files.

CfbBuilder DocumentBuilder(int version) { return SampleDocument(version); }

// Our own writer's copy of a file: a valid base with the writer's layout
// (FAT first, structures packed).
Bytes WriterCopy(const Bytes &source) {
  TempDir dir;
  BuiltFile file;
  file.bytes = source;
  file.Save(dir / "in.doc");
  {
    cfb::Source in = cfb::Source::Open(dir / "in.doc");
    cfb::Destination out = cfb::Destination::Create(dir / "out.doc");
    in.CopyTo(out);
    out.Release();
  }
  return ReadFileBytes(dir / "out.doc");
}

// A file made of a directory only: `count` entries under the root, either
// as one long sibling chain of empty streams (flat) or as storages nested
// each in the one before (deep). Written directly, because the test
// builder is quadratic in the number of entries.
Bytes BigDirectory(std::uint32_t count, bool nested) {
  const std::uint32_t S = 512, E = S / 4, perDir = S / 128;
  const std::uint32_t dirSectors = (count + 1 + perDir - 1) / perDir;
  std::uint32_t fatSectors = 1;
  while (fatSectors * E < dirSectors + fatSectors)
    ++fatSectors;
  if (fatSectors > 109)
    throw std::logic_error("BigDirectory: needs a DIFAT");
  const std::uint32_t total = fatSectors + dirSectors;
  Bytes b(std::size_t{S} * (total + 1), 0);
  static const std::uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::copy(signature, signature + 8, b.begin());
  Put16(b, 0x18, 0x3E);
  Put16(b, 0x1A, 3);
  Put16(b, 0x1C, 0xFFFE);
  Put16(b, 0x1E, 9);
  Put16(b, 0x20, 6);
  Put32(b, 0x2C, fatSectors);
  Put32(b, 0x30, fatSectors);
  Put32(b, 0x38, 4096);
  Put32(b, 0x3C, kEnd);
  Put32(b, 0x44, kEnd);
  for (std::uint32_t k = 0; k < 109; ++k)
    Put32(b, 0x4C + 4 * k, k < fatSectors ? k : kFree);
  auto fatAt = [&](std::uint32_t sector) {
    return std::uint64_t{S} * (sector / E + 1) + 4 * (sector % E);
  };
  for (std::uint32_t s = 0; s < fatSectors * E; ++s) {
    std::uint32_t v = kFree;
    if (s < fatSectors)
      v = kFatMark;
    else if (s < total)
      v = s + 1 < total ? s + 1 : kEnd;
    Put32(b, fatAt(s), v);
  }
  auto entryAt = [&](std::uint32_t id) {
    return std::uint64_t{S} * (fatSectors + id / perDir + 1) + 128 * (id % perDir);
  };
  for (std::uint32_t id = 0; id < dirSectors * perDir; ++id) {
    std::uint64_t at = entryAt(id);
    Put32(b, at + 0x44, kFree);
    Put32(b, at + 0x48, kFree);
    Put32(b, at + 0x4C, kFree);
    if (id > count)
      continue;
    std::u16string name = u"Root Entry";
    if (id > 0) {
      char text[16];
      std::snprintf(text, sizeof text, "E%07u", id);
      name.assign(text, text + std::char_traits<char>::length(text));
    }
    for (std::size_t k = 0; k < name.size(); ++k)
      Put16(b, at + 2 * k, name[k]);
    Put16(b, at + 0x40, static_cast<std::uint16_t>((name.size() + 1) * 2));
    b[at + 0x43] = 1; // black
    if (id == 0) {
      b[at + 0x42] = 5;
      Put32(b, at + 0x4C, count > 0 ? 1 : kFree);
      Put32(b, at + 0x74, kEnd);
    } else if (nested) {
      b[at + 0x42] = 1;
      if (id < count)
        Put32(b, at + 0x4C, id + 1);
    } else {
      b[at + 0x42] = 2;
      if (id < count)
        Put32(b, at + 0x48, id + 1); // names grow, so the chain is sorted
      Put32(b, at + 0x74, kEnd);
    }
  }
  return b;
}

} // namespace

std::vector<std::pair<std::string, Bytes>> MakeBaseFiles() {
  std::vector<std::pair<std::string, Bytes>> bases;
  bases.emplace_back("v3", DocumentBuilder(3).Gaps(1, 1).Build().bytes);
  bases.emplace_back(
      "v3-last",
      DocumentBuilder(3).Layout(Order::DataLast).Shape(SiblingShape::RightChain).Build().bytes);
  bases.emplace_back("v4", DocumentBuilder(4).Gaps(1, 2).Build().bytes);
  // 240 FAT sectors: the header's 109 entries and two DIFAT sectors.
  bases.emplace_back("v3-difat", DocumentBuilder(3).MinFatSectors(240).Build().bytes);
  bases.emplace_back("copy", WriterCopy(bases[0].second));
  return bases;
}

namespace {

// ---------------------------------------------------------------------------
// Systematic sweeps over one base.

void HeaderSweep(Corpus &c, const std::string &base, const Bytes &b) {
  const RawView map(b);
  const std::uint32_t sc = map.sectorCount;
  const std::uint16_t version = Get16(b, 0x1A);
  auto variant16 = [&](const char *field, std::uint64_t at, std::vector<std::uint16_t> values,
                       std::set<Reason> reasons, bool mayAccept) {
    for (std::uint16_t v : values) {
      if (v == Get16(b, at))
        continue;
      Bytes x = b;
      Put16(x, at, v);
      c.Add(base + "/header/" + field + "=" + Hex(v), std::move(x), reasons, mayAccept);
    }
  };
  for (int i = 0; i < 8; ++i) {
    Bytes x = b;
    x[i] ^= 0x20;
    c.Refused(base + "/header/signature byte " + std::to_string(i), std::move(x),
              {Reason::BadSignature});
  }
  variant16("minor version", 0x18, {0, 0x3B, 0xFFFF}, {}, true);
  variant16("major version", 0x1A, {0, 1, 2, 5, 0x103, 0xFFFF}, {Reason::UnsupportedVersion},
            false);
  variant16("major version", 0x1A, {static_cast<std::uint16_t>(version == 3 ? 4 : 3)},
            {Reason::BadSectorShift}, false);
  variant16("byte order", 0x1C, {0, 0xFEFF, 0xFFFF, 0xFFFD}, {Reason::BadByteOrder}, false);
  variant16("sector shift", 0x1E, {0, 1, 7, 8, 9, 10, 11, 12, 13, 16, 31, 32, 63, 64, 0xFFFF},
            {Reason::BadSectorShift}, false);
  variant16("mini sector shift", 0x20, {0, 5, 7, 9, 12, 0xFFFF}, {Reason::BadMiniSectorShift},
            false);
  variant16("reserved", 0x22, {1, 0xFFFF}, {}, true);

  const std::vector<std::uint32_t> hostile = {
      0,          1,          2,       sc - 1,    sc,   sc + 1,   sc * 2, 0x00FFFFFF,
      0x7FFFFFFF, 0x80000000, kMaxReg, kReserved, kDif, kFatMark, kEnd,   kFree};
  auto variant32 = [&](const std::string &field, std::uint64_t at, std::set<Reason> reasons,
                       bool mayAccept) {
    for (std::uint32_t v : hostile) {
      if (v == Get32(b, at))
        continue;
      Bytes x = b;
      Put32(x, at, v);
      c.Add(base + "/header/" + field + "=" + Hex(v), std::move(x), reasons, mayAccept);
    }
  };
  // Fields the reader does not rely on: any value must still give a file
  // that copies faithfully, or a sensible refusal.
  variant32("directory sector count", 0x28, kStructural, true);
  variant32("transaction signature", 0x34, {}, true);
  variant32("mini FAT sector count", 0x40, kStructural, true);
  // Fields it relies on.
  variant32("FAT sector count", 0x2C, kStructural, true);
  variant32("first directory sector", 0x30, kStructural, true);
  variant32("mini stream cutoff", 0x38, {Reason::BadMiniStreamCutoff}, false);
  variant32("first mini FAT sector", 0x3C, kStructural, true);
  variant32("first DIFAT sector", 0x44, kStructural, true);
  variant32("DIFAT sector count", 0x48, kStructural, true);
  const std::uint32_t fatCount = static_cast<std::uint32_t>(map.fatSectors.size());
  std::set<std::uint32_t> slots = {0, 1, 108};
  if (fatCount > 0 && fatCount <= 109)
    slots.insert(fatCount - 1);
  if (fatCount < 109)
    slots.insert(fatCount);
  for (std::uint32_t k : slots)
    variant32("DIFAT[" + std::to_string(k) + "]", 0x4C + 4 * k, kStructural, true);
}

void FatSweep(Corpus &c, const std::string &base, const Bytes &b) {
  const RawView map(b);
  const std::uint32_t sc = map.sectorCount;
  for (std::uint32_t s = 0; s < map.sectorCount; ++s) {
    std::vector<std::uint32_t> values = {s,         0,    sc,       sc + 100, kMaxReg,
                                         kReserved, kDif, kFatMark, kEnd,     kFree};
    if (s > 0)
      values.push_back(s - 1);
    if (!map.dirSectors.empty())
      values.push_back(map.dirSectors[0]);
    values.push_back(map.fatSectors[0]);
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    for (std::uint32_t v : values) {
      if (v == map.fat[s])
        continue;
      Bytes x = b;
      Put32(x, map.FatEntryOffset(s), v);
      c.Add(base + "/FAT[" + std::to_string(s) + "]=" + Hex(v), std::move(x), kStructural, true);
    }
  }
}

void MiniFatSweep(Corpus &c, const std::string &base, const Bytes &b) {
  const RawView map(b);
  // The mini stream's size in 64-byte sectors is the root's size / 64.
  const std::uint32_t miniCount =
      static_cast<std::uint32_t>(Get64(b, map.DirEntryOffset(0) + 0x78) / 64);
  for (std::uint32_t m = 0; m < map.miniFat.size() && m < miniCount + 4; ++m) {
    std::vector<std::uint32_t> values = {m,       0,    m + 1, miniCount, miniCount + 1,
                                         kMaxReg, kEnd, kFree, kFatMark};
    if (m > 0)
      values.push_back(m - 1);
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    for (std::uint32_t v : values) {
      if (v == map.miniFat[m])
        continue;
      Bytes x = b;
      Put32(x, map.MiniFatEntryOffset(m), v);
      c.Add(base + "/mini FAT[" + std::to_string(m) + "]=" + Hex(v), std::move(x), kStructural,
            true);
    }
  }
}

void DifatSweep(Corpus &c, const std::string &base, const Bytes &b) {
  const RawView map(b);
  const std::uint32_t sc = map.sectorCount;
  const std::uint32_t perSector = map.sectorSize / 4;
  for (std::size_t j = 0; j < map.difatSectors.size(); ++j) {
    const std::uint32_t d = map.difatSectors[j];
    std::vector<std::uint32_t> next = {d,
                                       map.difatSectors[0],
                                       map.fatSectors[0],
                                       map.fatSectors.back(),
                                       map.dirSectors[0],
                                       0,
                                       sc,
                                       kMaxReg,
                                       kDif,
                                       kEnd,
                                       kFree};
    for (std::uint32_t v : next) {
      if (v == Get32(b, map.Offset(d) + 4 * (perSector - 1)))
        continue;
      Bytes x = b;
      Put32(x, map.Offset(d) + 4 * (perSector - 1), v);
      c.Add(base + "/DIFAT sector " + std::to_string(j) + " next=" + Hex(v), std::move(x),
            kStructural, true);
    }
    for (std::uint32_t k : {0u, 1u, perSector - 2}) {
      for (std::uint32_t v : {d, map.fatSectors[0], map.dirSectors[0], sc, kFree, kEnd, 0u}) {
        std::uint64_t at = map.Offset(d) + 4 * k;
        if (v == Get32(b, at))
          continue;
        Bytes x = b;
        Put32(x, at, v);
        c.Add(base + "/DIFAT sector " + std::to_string(j) + " entry " + std::to_string(k) + "=" +
                  Hex(v),
              std::move(x), kStructural, true);
      }
    }
  }
}

void DirectorySweep(Corpus &c, const std::string &base, const Bytes &b) {
  const RawView map(b);
  const std::uint32_t sc = map.sectorCount;
  const std::uint32_t n = map.entryCount;
  for (std::uint32_t id = 0; id < n; ++id) {
    const std::uint64_t at = map.DirEntryOffset(id);
    const bool used = Get16(b, at + 0x40) != 0;
    if (!used && id > 1 && id + 1 != n)
      continue; // unused slots: a sample is enough
    const std::string prefix = base + "/entry " + std::to_string(id) + "/";
    for (std::uint32_t field : {0x44u, 0x48u, 0x4Cu}) {
      const char *fieldName = field == 0x44 ? "left" : field == 0x48 ? "right" : "child";
      for (std::uint32_t v :
           {0u, id, id + 1, id == 0 ? 1u : id - 1, n - 1, n, n + 1, 0x00FFFFFFu, kMaxReg, kFree}) {
        if (v == Get32(b, at + field))
          continue;
        Bytes x = b;
        Put32(x, at + field, v);
        c.Add(prefix + fieldName + "=" + Hex(v), std::move(x), kStructural, true);
      }
    }
    for (std::uint8_t v : {0, 1, 2, 3, 4, 5, 6, 0x80, 0xFF}) {
      if (v == b[at + 0x42])
        continue;
      Bytes x = b;
      x[at + 0x42] = v;
      c.Add(prefix + "type=" + Hex(v), std::move(x), kStructural, true);
    }
    for (std::uint8_t v : {0, 2, 0xFF}) {
      if (v == b[at + 0x43])
        continue;
      Bytes x = b;
      x[at + 0x43] = v;
      c.Add(prefix + "colour=" + Hex(v), std::move(x), kStructural, true);
    }
    for (std::uint16_t v : {0, 1, 2, 3, 62, 63, 64, 65, 66, 0x100, 0xFFFF}) {
      if (v == Get16(b, at + 0x40))
        continue;
      Bytes x = b;
      Put16(x, at + 0x40, v);
      c.Add(prefix + "name length=" + Hex(v), std::move(x), kStructural, true);
    }
    for (std::uint32_t v :
         {0u, 1u, sc - 1, sc, sc + 1, 0x00FFFFFFu, kMaxReg, kReserved, kEnd, kFree}) {
      if (v == Get32(b, at + 0x74))
        continue;
      Bytes x = b;
      Put32(x, at + 0x74, v);
      c.Add(prefix + "start=" + Hex(v), std::move(x), kStructural, true);
    }
    const std::uint64_t size = Get64(b, at + 0x78);
    for (std::uint64_t v :
         {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{63}, std::uint64_t{64},
          std::uint64_t{4095}, std::uint64_t{4096}, std::uint64_t{4097}, size - 1, size + 1,
          size + map.sectorSize, std::uint64_t{0x7FFFFFFF}, std::uint64_t{0xFFFFFFFF},
          std::uint64_t{0x100000000}, std::uint64_t{0x1FFFFFFFF}, std::uint64_t{0x7FFFFFFFFFFFFFFF},
          std::uint64_t{0xFFFFFFFFFFFFFFFF}, std::uint64_t{0xFFFFFFFFFFFFFFFF} - 4095}) {
      if (v == size)
        continue;
      Bytes x = b;
      Put64(x, at + 0x78, v);
      c.Add(prefix + "size=" + Hex(v), std::move(x), kStructural, true);
    }
  }
}

void TruncationSweep(Corpus &c, const std::string &base, const Bytes &b) {
  const RawView map(b);
  std::set<std::uint64_t> cuts = {0,
                                  1,
                                  7,
                                  8,
                                  0x1C,
                                  0x4C,
                                  511,
                                  512,
                                  513,
                                  map.sectorSize - 1,
                                  map.sectorSize,
                                  map.sectorSize + 1,
                                  b.size() - 1,
                                  b.size() / 2};
  auto sectorCuts = [&](std::uint32_t sector) {
    cuts.insert(map.Offset(sector));
    cuts.insert(map.Offset(sector) + map.sectorSize / 2);
  };
  for (std::uint32_t s : map.fatSectors)
    sectorCuts(s);
  for (std::uint32_t s : map.difatSectors)
    sectorCuts(s);
  for (std::uint32_t s : map.dirSectors)
    sectorCuts(s);
  for (std::uint32_t s : map.miniFatSectors)
    sectorCuts(s);
  for (std::uint32_t s = 0; s < map.sectorCount; s += 3)
    cuts.insert(map.Offset(s) + 100);
  for (std::uint64_t cut : cuts) {
    if (cut >= b.size())
      continue;
    Bytes x(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(cut));
    std::set<Reason> reasons = {Reason::FileTooSmall,     Reason::TruncatedFile,
                                Reason::SectorOutOfRange, Reason::ShortChain,
                                Reason::CountOutOfRange,  Reason::MiniStreamOutsideRoot};
    // A cut inside the header is reported as the header's fault.
    if (cut < 512)
      reasons = {Reason::FileTooSmall};
    else if (cut < map.sectorSize)
      reasons = {Reason::FileTooSmall};
    c.Add(base + "/cut at " + std::to_string(cut), std::move(x), reasons,
          cut > b.size() - map.sectorSize);
  }
  // Bytes after the last sector belong to nobody: still a valid file.
  Bytes longer = b;
  longer.insert(longer.end(), 1000, 0xAB);
  c.Accepted(base + "/1000 bytes appended", std::move(longer));
}

// ---------------------------------------------------------------------------
// Hand-made faults with one expected reason each, on the "v3" base.

void NamedFaults(Corpus &c, const Bytes &v3, const Bytes &v4, const Bytes &difat) {
  const RawView map(v3);
  const std::uint32_t sc = map.sectorCount;
  auto entry = [&](std::uint32_t id) { return map.DirEntryOffset(id); };
  // Directory ids in the builder: 1 WordDocument, 2 1Table, 3 \5Summary...,
  // 4 ObjectPool, 5 _1234, 6 \1Ole, 7 Contents, 8 Empty, 9 EmptyStorage.
  auto startOf = [&](std::uint32_t id) { return Get32(v3, entry(id) + 0x74); };
  auto with = [&](auto change) {
    Bytes x = v3;
    change(x);
    return x;
  };

  c.Refused("named/directory claims 16 million entries",
            with([&](Bytes &x) { Put32(x, entry(0) + 0x4C, 0x00F42400); }),
            {Reason::EntryOutOfRange});
  c.Refused("named/FAT sector count 0xFFFFFFFF",
            with([&](Bytes &x) { Put32(x, 0x2C, 0xFFFFFFFF); }), {Reason::CountOutOfRange});
  c.Refused("named/DIFAT sector count 0xFFFFFFFF with FAT count 200", with([&](Bytes &x) {
              Put32(x, 0x2C, 200);
              Put32(x, 0x48, 0xFFFFFFFF);
            }),
            {Reason::CountOutOfRange});
  c.Accepted("named/mini FAT sector count 0xFFFFFFFF (not trusted)",
             with([&](Bytes &x) { Put32(x, 0x40, 0xFFFFFFFF); }));
  {
    Bytes x = v4;
    Put32(x, 0x28, 0xFFFFFFFF);
    c.Accepted("named/v4 directory sector count 0xFFFFFFFF (not trusted)", std::move(x));
  }
  c.Refused("named/directory chain loops on its first sector", with([&](Bytes &x) {
              Put32(x, map.FatEntryOffset(map.dirSectors[0]), map.dirSectors[0]);
            }),
            {Reason::ChainLoop});
  c.Refused("named/directory chain runs into the FAT sector", with([&](Bytes &x) {
              Put32(x, map.FatEntryOffset(map.dirSectors.back()), map.fatSectors[0]);
            }),
            {Reason::CrossLinkedChain});
  c.Refused("named/directory starts past the end of the file",
            with([&](Bytes &x) { Put32(x, 0x30, sc + 10); }), {Reason::SectorOutOfRange});
  c.Refused("named/directory chain is empty", with([&](Bytes &x) { Put32(x, 0x30, kEnd); }),
            {Reason::ShortChain});
  const std::uint32_t word = startOf(1);
  const std::vector<std::uint32_t> wordChain = map.Chain(word);
  c.Refused("named/stream chain past the end of the file",
            with([&](Bytes &x) { Put32(x, map.FatEntryOffset(wordChain[1]), sc + 5); }),
            {Reason::SectorOutOfRange});
  c.Refused("named/stream chain loops back to its start", with([&](Bytes &x) {
              Put32(x, map.FatEntryOffset(wordChain.end()[-2]), wordChain[0]);
            }),
            {Reason::ChainLoop});
  // Links out of a stream's last needed sector are never followed.
  c.Accepted("named/stream chain loops back to its start after its last needed sector",
             with([&](Bytes &x) { Put32(x, map.FatEntryOffset(wordChain.back()), wordChain[0]); }));
  c.Refused("named/stream chain ends early",
            with([&](Bytes &x) { Put32(x, map.FatEntryOffset(wordChain[8]), kEnd); }),
            {Reason::ShortChain});
  c.Refused("named/stream chain runs into a FREESECT",
            with([&](Bytes &x) { Put32(x, map.FatEntryOffset(wordChain[8]), kFree); }),
            {Reason::SectorOutOfRange, Reason::ShortChain});
  const std::uint32_t contents = startOf(7);
  c.Refused("named/two streams share a sector",
            with([&](Bytes &x) { Put32(x, entry(7) + 0x74, wordChain[3]); }),
            {Reason::CrossLinkedChain});
  c.Refused("named/stream chain runs through the directory", with([&](Bytes &x) {
              Put32(x, map.FatEntryOffset(map.Chain(contents).front()), map.dirSectors[0]);
            }),
            {Reason::CrossLinkedChain});
  c.Refused("named/v3 stream size 0xFFFFFFFF (high half ignored, low half too large)",
            with([&](Bytes &x) { Put64(x, entry(1) + 0x78, 0x00000001FFFFFFFFull); }),
            {Reason::ShortChain});
  c.Accepted("named/v3 stream size with 0xFFFFFFFF in the high half",
             with([&](Bytes &x) { Put32(x, entry(1) + 0x7C, 0xFFFFFFFF); }));
  {
    const RawView m4(v4);
    Bytes x = v4;
    Put64(x, m4.DirEntryOffset(1) + 0x78, 0xFFFFFFFFFFFFFFFFull);
    c.Refused("named/v4 stream size 2^64-1", std::move(x), {Reason::ShortChain});
    x = v4;
    Put64(x, m4.DirEntryOffset(1) + 0x78, 0xFFFFFFFFFFFFF000ull);
    c.Refused("named/v4 stream size that overflows when rounded to sectors", std::move(x),
              {Reason::ShortChain});
    x = v4;
    Put64(x, m4.DirEntryOffset(0) + 0x78, 0x8000000000000000ull);
    c.Refused("named/v4 mini stream size 2^63", std::move(x), {Reason::ShortChain});
  }
  c.Refused("named/stream one byte longer than its chain", with([&](Bytes &x) {
              Put64(x, entry(1) + 0x78, std::uint64_t{wordChain.size()} * 512 + 1);
            }),
            {Reason::ShortChain});
  c.Refused("named/mini stream size larger than its chain",
            with([&](Bytes &x) { Put64(x, entry(0) + 0x78, 0x10000000); }), {Reason::ShortChain});
  c.Refused("named/small stream beyond the mini stream",
            with([&](Bytes &x) { Put32(x, entry(6) + 0x74, 0x00100000); }),
            {Reason::MiniStreamOutsideRoot});
  c.Refused("named/small streams without a mini stream",
            with([&](Bytes &x) { Put64(x, entry(0) + 0x78, 0); }), {Reason::MiniStreamOutsideRoot});
  {
    const std::uint32_t ole = startOf(6), table = startOf(2);
    // 1Table's chain is consecutive: its second mini sector links back to its first.
    c.Refused("named/mini FAT loop",
              with([&](Bytes &x) { Put32(x, map.MiniFatEntryOffset(table + 1), table); }),
              {Reason::ChainLoop});
    // \1Ole needs one mini sector: the link out of it is never followed.
    c.Accepted("named/mini FAT loop after a small stream's last needed sector",
               with([&](Bytes &x) { Put32(x, map.MiniFatEntryOffset(ole), ole); }));
    c.Refused("named/small streams share a mini sector",
              with([&](Bytes &x) { Put32(x, entry(3) + 0x74, ole); }), {Reason::CrossLinkedChain});
  }
  c.Refused("named/sibling cycle", with([&](Bytes &x) {
              // Find an entry with a left or right link and point its target back at it.
              for (std::uint32_t id = 1; id < 10; ++id) {
                std::uint32_t l = Get32(x, entry(id) + 0x44), r = Get32(x, entry(id) + 0x48);
                std::uint32_t other = l != kFree ? l : r;
                if (other == kFree)
                  continue;
                Put32(x, entry(other) + 0x48, id);
                return;
              }
            }),
            {Reason::DirectoryLoop});
  c.Refused("named/storage's child is the root",
            with([&](Bytes &x) { Put32(x, entry(5) + 0x4C, 0); }), {Reason::DirectoryLoop});
  c.Refused("named/storage's child is its own parent",
            with([&](Bytes &x) { Put32(x, entry(5) + 0x4C, 4); }), {Reason::DirectoryLoop});
  c.Refused("named/storage is its own child", with([&](Bytes &x) { Put32(x, entry(9) + 0x4C, 9); }),
            {Reason::DirectoryLoop});
  c.Refused("named/one entry in two storages",
            with([&](Bytes &x) { Put32(x, entry(9) + 0x4C, 1); }), {Reason::DirectoryLoop});
  c.Refused("named/root entry is a storage", with([&](Bytes &x) { x[entry(0) + 0x42] = 1; }),
            {Reason::BadRootEntry});
  c.Refused("named/root entry is unused", with([&](Bytes &x) { x[entry(0) + 0x42] = 0; }),
            {Reason::BadRootEntry});
  c.Refused("named/a second root under the root", with([&](Bytes &x) { x[entry(2) + 0x42] = 5; }),
            {Reason::UnknownEntryType});
  c.Refused("named/an unused entry linked in", with([&](Bytes &x) { x[entry(2) + 0x42] = 0; }),
            {Reason::UnknownEntryType});
  c.Refused("named/siblings differing only in case", with([&](Bytes &x) {
              // 1Table becomes "objectpool", ObjectPool's twin in lower case.
              const char16_t twin[] = u"objectpool";
              for (int k = 0; k < 10; ++k)
                Put16(x, entry(2) + 2 * k, twin[k]);
              Put16(x, entry(2) + 20, 0);
              Put16(x, entry(2) + 0x40, 22);
            }),
            {Reason::DuplicateName});
  c.Refused("named/name length 0xFFFF", with([&](Bytes &x) { Put16(x, entry(1) + 0x40, 0xFFFF); }),
            {Reason::BadNameLength});
  c.Refused("named/odd name length", with([&](Bytes &x) { Put16(x, entry(1) + 0x40, 7); }),
            {Reason::BadNameLength});
  c.Accepted("named/name without its terminating zero", with([&](Bytes &x) {
               for (int k = 0; k < 32; ++k)
                 Put16(x, entry(8) + 2 * k, static_cast<std::uint16_t>(u'A' + k % 26));
               Put16(x, entry(8) + 0x40, 64);
             }));
  c.Accepted("named/storage with a stray start sector and size", with([&](Bytes &x) {
               Put32(x, entry(4) + 0x74, sc + 1000);
               Put64(x, entry(4) + 0x78, 0xFFFFFFFFFFFFFFFFull);
             }));
  c.Accepted("named/empty stream starting at sector 0",
             with([&](Bytes &x) { Put32(x, entry(8) + 0x74, 0); }));
  c.Refused("named/file of 0 bytes", {}, {Reason::FileTooSmall});
  c.Refused("named/header only", Bytes(v3.begin(), v3.begin() + 512),
            {Reason::CountOutOfRange, Reason::SectorOutOfRange, Reason::TruncatedFile});
  c.Refused("named/every FAT entry points to sector 0", with([&](Bytes &x) {
              for (std::uint32_t s = 0; s < map.sectorCount; ++s)
                Put32(x, map.FatEntryOffset(s), 0);
            }),
            {Reason::ChainLoop, Reason::CrossLinkedChain});
  c.Refused("named/FAT ring through every sector", with([&](Bytes &x) {
              for (std::uint32_t s = 0; s < map.sectorCount; ++s)
                Put32(x, map.FatEntryOffset(s), (s + 1) % map.sectorCount);
            }),
            kChainReasons);
  c.Refused("named/FAT sector listed twice", with([&](Bytes &x) {
              Put32(x, 0x2C, 2);
              Put32(x, 0x4C + 4, Get32(x, 0x4C));
            }),
            {Reason::CrossLinkedChain});

  const RawView dm(difat);
  const std::uint32_t perSector = dm.sectorSize / 4;
  {
    Bytes x = difat;
    Put32(x, dm.Offset(dm.difatSectors[0]) + 4 * (perSector - 1), dm.difatSectors[0]);
    c.Refused("named/DIFAT chain loops on itself", std::move(x), {Reason::ChainLoop});
    x = difat;
    Put32(x, dm.Offset(dm.difatSectors[0]) + 4 * (perSector - 1), dm.fatSectors[5]);
    c.Refused("named/DIFAT chain runs into a FAT sector", std::move(x), {Reason::CrossLinkedChain});
    x = difat;
    Put32(x, dm.Offset(dm.difatSectors[0]) + 4 * (perSector - 1), kEnd);
    c.Refused("named/DIFAT chain ends before the FAT is listed", std::move(x),
              {Reason::ShortChain});
    x = difat;
    Put32(x, 0x44, dm.sectorCount + 7);
    c.Refused("named/first DIFAT sector past the end of the file", std::move(x),
              {Reason::SectorOutOfRange});
    x = difat;
    Put32(x, dm.Offset(dm.difatSectors[0]), dm.difatSectors[0]);
    c.Refused("named/a DIFAT sector listed as a FAT sector", std::move(x),
              {Reason::CrossLinkedChain});
    x = difat;
    // 240 FAT sectors: 109 in the header, 127 in the first DIFAT sector, 4 in
    // the second; its later entries are padding and are not read.
    Put32(x, dm.Offset(dm.difatSectors[1]) + 4 * 10, 0x12345678);
    c.Accepted("named/DIFAT entries beyond the FAT count are not read", std::move(x));
  }
}

// ---------------------------------------------------------------------------
// Random hostile words in the structures, deterministic.

void RandomFaults(Corpus &c, const std::vector<std::pair<std::string, Bytes>> &bases, int count) {
  std::mt19937 random(8081);
  for (int round = 0; round < count; ++round) {
    const auto &[base, b] = bases[random() % bases.size()];
    const RawView map(b);
    std::vector<std::uint32_t> structural = map.fatSectors;
    structural.insert(structural.end(), map.difatSectors.begin(), map.difatSectors.end());
    structural.insert(structural.end(), map.dirSectors.begin(), map.dirSectors.end());
    structural.insert(structural.end(), map.miniFatSectors.begin(), map.miniFatSectors.end());
    Bytes x = b;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int k = 0; k < changes; ++k) {
      std::uint64_t at;
      const unsigned where = random() % 10;
      if (where < 3) {
        at = 0x28 + 4 * (random() % ((512 - 0x28) / 4)); // header words
      } else if (where < 9) {
        std::uint32_t s = structural[random() % structural.size()];
        at = map.Offset(s) + 4 * (random() % (map.sectorSize / 4));
      } else {
        at = (random() % (x.size() / 4)) * 4;
      }
      const std::uint32_t pick[] = {0,
                                    1,
                                    kEnd,
                                    kFree,
                                    kFatMark,
                                    kDif,
                                    kMaxReg,
                                    map.sectorCount,
                                    map.sectorCount - 1,
                                    static_cast<std::uint32_t>(random() % (map.sectorCount + 2)),
                                    static_cast<std::uint32_t>(random())};
      Put32(x, at, pick[random() % (sizeof pick / sizeof pick[0])]);
    }
    if (random() % 8 == 0)
      x.resize(512 + random() % (x.size() - 512));
    c.Add("random/" + std::to_string(round) + " (" + base + ")", std::move(x), {}, true);
  }
}

} // namespace

void MakeHostileCorpus(const CaseSink &sink, Size size) {
  const auto bases = MakeBaseFiles();
  Corpus c(sink);
  if (size == Size::Large) {
    c.Accepted("large/50,000 siblings in one chain", BigDirectory(50000, false));
    c.Accepted("large/20,000 storages nested", BigDirectory(20000, true));
    {
      Bytes looped = BigDirectory(50000, false);
      const RawView map(looped);
      // The last entry's right link back to the first: a cycle 50,000 long.
      Put32(looped, map.DirEntryOffset(50000) + 0x48, 1);
      c.Refused("large/50,000 siblings in a cycle", std::move(looped), {Reason::DirectoryLoop});
    }
    c.Accepted("large/valid file in a 1 GiB sparse file", bases[0].second, std::uint64_t{1} << 30);
    return;
  }
  for (const auto &[name, bytes] : bases)
    c.Accepted(name + "/as built", bytes);
  for (const auto &[name, bytes] : bases) {
    if (name != "v3-last")
      HeaderSweep(c, name, bytes);
    if (name != "v3-difat" && name != "v3-last")
      FatSweep(c, name, bytes);
    if (name == "v3" || name == "v4" || name == "copy")
      MiniFatSweep(c, name, bytes);
    if (name == "v3-difat")
      DifatSweep(c, name, bytes);
    if (name == "v3" || name == "v4")
      DirectorySweep(c, name, bytes);
    TruncationSweep(c, name, bytes);
  }
  NamedFaults(c, bases[0].second, bases[2].second, bases[3].second);
  RandomFaults(c, bases, 1000);
}

} // namespace velkor::test
