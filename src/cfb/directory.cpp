//===- cfb/directory.cpp - Reading and validating the directory tree ------===//
#include "cfb/directory.h"

#include "cfb/constants.h"
#include "cfb/dir_entry.h"

#include <algorithm>

namespace cfb {

DirectoryBytes LoadDirectory(const SectorFile &file, const Header &header, const Fat &fat,
                             SectorOwners &owners) {
  std::vector<std::uint32_t> sectors =
      FollowChain(fat.Table(), header.firstDirSector, file.sectorCount, owners, "directory");
  if (sectors.empty())
    throw FormatError(Reason::ShortChain, header.firstDirSector, "directory");
  // Left uninitialised: every byte is read before it is used.
  DirectoryBytes directory;
  directory.size = sectors.size() * std::size_t{file.SectorSize()};
  directory.bytes.reset(new std::uint8_t[directory.size]);
  file.ReadFullSectors(sectors.data(), sectors.size(), directory.bytes.get(), "directory");
  return directory;
}

namespace {

// One reachable entry while the tree is being discovered.
struct Node {
  std::uint32_t directoryId;
  DirEntry entry;
  std::vector<std::uint32_t> children; // node indexes, sorted by name
};

// Takes the node's name rather than copying it: the nodes are dropped once
// the tree is built.
Entry MakeEntry(Node &node, std::uint16_t majorVersion) {
  Entry out;
  DirEntry &in = node.entry;
  out.displayName = Utf16ToUtf8(in.name);
  out.name = std::move(in.name);
  out.kind = in.type == kTypeRoot      ? EntryKind::Root
             : in.type == kTypeStorage ? EntryKind::Storage
                                       : EntryKind::Stream;
  out.classId = in.classId;
  out.stateBits = in.stateBits;
  out.creationTime = in.creationTime;
  out.modifiedTime = in.modifiedTime;
  out.directoryId = node.directoryId;
  if (out.kind == EntryKind::Storage) {
    // Tolerance (MS-CFB 2.6.3): a storage's start sector and size should be
    // 0, but some writers leave stray values there. Storages hold no data,
    // so both are ignored.
    out.size = 0;
    out.startSector = 0;
  } else {
    // Tolerance (MS-CFB 2.6.3): in version 3 files only the low 32 bits of
    // the size count; real files hold 0, 0xFFFFFFFF or 1 in the high half.
    out.size = majorVersion == kMajorVersion3 ? (in.size & 0xFFFFFFFFu) : in.size;
    out.startSector = in.startSector;
  }
  return out;
}

} // namespace

Tree BuildTree(std::span<const std::uint8_t> directory, std::uint16_t majorVersion) {
  const std::uint32_t entryCount = static_cast<std::uint32_t>(directory.size() / kDirEntrySize);
  auto bytesOf = [&](std::uint32_t id) {
    return directory.data() + std::size_t{id} * kDirEntrySize;
  };

  DirEntry root = DirEntry::Parse(bytesOf(0));
  if (root.type != kTypeRoot)
    throw FormatError(Reason::BadRootEntry, root.type, "directory entry 0");
  // Tolerance: the root's name is not checked ("Root Entry" by MS-CFB 2.6.2,
  // but some writers name it otherwise); it is never copied.

  std::vector<bool> visited(entryCount, false);
  visited[0] = true;
  std::vector<Node> nodes;
  nodes.reserve(entryCount); // bounded by the directory's size
  nodes.push_back({0, root, {}});

  // Storages whose sibling trees are still to be read (node indexes).
  std::vector<std::uint32_t> pendingStorages{0};
  std::vector<std::uint32_t> siblingStack;
  // One storage's children are gathered here, then kept in a list of their
  // exact size: one allocation per storage, however many children it has.
  std::vector<std::uint32_t> children;
  while (!pendingStorages.empty()) {
    std::uint32_t parentNode = pendingStorages.back();
    pendingStorages.pop_back();
    children.clear();
    siblingStack.assign(1, nodes[parentNode].entry.child);
    // Tolerance (MS-CFB 2.6.4): the sibling tree should be a sorted
    // red-black tree, but real files hold unsorted or unbalanced ones. It is
    // walked link by link and never searched.
    while (!siblingStack.empty()) {
      std::uint32_t id = siblingStack.back();
      siblingStack.pop_back();
      if (id == kNoStream)
        continue;
      if (id >= entryCount)
        throw FormatError(Reason::EntryOutOfRange, id, "directory");
      if (visited[id])
        throw FormatError(Reason::DirectoryLoop, id, "directory");
      visited[id] = true;
      DirEntry entry = DirEntry::Parse(bytesOf(id));
      if (entry.type != kTypeStorage && entry.type != kTypeStream)
        throw FormatError(Reason::UnknownEntryType, entry.type, "directory entry type");
      if (entry.nameLength < 2 || entry.nameLength > kMaxNameBytes || entry.nameLength % 2 != 0)
        throw FormatError(Reason::BadNameLength, entry.nameLength, "directory entry name length");
      siblingStack.push_back(entry.left);
      siblingStack.push_back(entry.right);
      bool isStorage = entry.type == kTypeStorage;
      children.push_back(static_cast<std::uint32_t>(nodes.size()));
      nodes.push_back({id, std::move(entry), {}});
      // A stream's child link should be NOSTREAM (MS-CFB 2.6.3); a stray
      // one is not followed, so whatever it names stays unreachable.
      if (isStorage)
        pendingStorages.push_back(children.back());
    }
    std::sort(children.begin(), children.end(), [&](std::uint32_t a, std::uint32_t b) {
      return CompareNames(nodes[a].entry.name, nodes[b].entry.name) < 0;
    });
    for (std::size_t i = 1; i < children.size(); ++i)
      if (CompareNames(nodes[children[i - 1]].entry.name, nodes[children[i]].entry.name) == 0)
        throw FormatError(Reason::DuplicateName, nodes[children[i]].directoryId, "directory");
    nodes[parentNode].children.assign(children.begin(), children.end());
  }

  // Emit the entries in pre-order with each storage's children in name order.
  Tree tree;
  tree.entries.reserve(nodes.size());
  std::vector<std::pair<std::uint32_t, std::uint32_t>> stack{{0, kNoParent}}; // node, parent
  while (!stack.empty()) {
    auto [node, parent] = stack.back();
    stack.pop_back();
    std::uint32_t index = static_cast<std::uint32_t>(tree.entries.size());
    tree.entries.push_back(MakeEntry(nodes[node], majorVersion));
    tree.entries.back().parent = parent;
    if (parent != kNoParent)
      tree.entries[parent].children.push_back(index);
    const auto &kids = nodes[node].children;
    tree.entries.back().children.reserve(kids.size());
    for (auto it = kids.rbegin(); it != kids.rend(); ++it)
      stack.push_back({*it, index});
  }
  return tree;
}

} // namespace cfb
