//===- tests/engine/compound_builder.h - Small compound files for tests ---===//
///
/// \file
/// Writes small but complete version 3 compound files (512-byte sectors)
/// with storages, streams in the mini stream and in regular sectors, and, on
/// request, free sectors filled with stale bytes between and after the
/// streams: the space a fresh copy leaves out. Independent of the
/// compound-file library under test, so that the engine's tests do not
/// check that library against itself.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CompoundBuilder {
public:
  /// A storage at a slash-separated path ("ObjectPool/_1234"); its parents
  /// must have been added before it.
  CompoundBuilder &AddStorage(const std::string &path);
  /// A stream at a slash-separated path with its bytes.
  CompoundBuilder &AddStream(const std::string &path, std::string data);
  /// Free sectors left after each stream in regular sectors and at the end
  /// of the file.
  CompoundBuilder &SetFreeSectorsAfterStreams(int count);
  CompoundBuilder &SetFreeSectorsAtEnd(int count);

  /// The whole file.
  std::string Build() const;
  /// Writes the file; fails the calling test on error.
  void WriteTo(const std::string &fileName) const;

private:
  struct Node {
    std::string name;
    bool storage = false;
    std::string data;
    int parent = -1;
    std::vector<int> children;
  };
  int FindChild(int parent, const std::string &name) const;
  int AddNode(const std::string &path, bool storage, std::string data);

  std::vector<Node> nodes{Node{"Root Entry", true, {}, -1, {}}};
  int freeAfterStreams = 0;
  int freeAtEnd = 0;
};

/// Stream contents that are recognisable and do not repeat trivially.
std::string PatternBytes(std::size_t size, unsigned seed);
