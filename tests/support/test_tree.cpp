//===- tests/support/test_tree.cpp - Temporary trees for the tests --------===//
///
/// \file
/// What the temporary folder does alike on both systems; unix/ and windows/
/// make and remove the folder.
///
//===----------------------------------------------------------------------===//

#include "support/test_tree.h"

#include "support/cfb_builder.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace velkor::test {

namespace fsys = std::filesystem;

void TempDir::MakeDir(const std::string &relative) const {
  fsys::create_directories(Path(relative));
}

void TempDir::Write(const std::string &relative, const std::string &bytes) const {
  fsys::path path = Path(relative);
  fsys::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

std::string TempDir::Read(const std::string &relative) const {
  std::ifstream in(Path(relative), std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void TempDir::WriteDocument(const std::string &relative, unsigned seed, int freeSectors) const {
  CfbBuilder builder;
  builder.Layout(Order::DataLast)
      .Shape(SiblingShape::RedBlack)
      .AddStream("WordDocument", PatternBytes(9000 + seed * 37, seed))
      .AddStream("\x05SummaryInformation", PatternBytes(400, seed + 1))
      .AddStorage("ObjectPool")
      .AddStream("ObjectPool/Data", PatternBytes(5000, seed + 2))
      .AddStream("ObjectPool/Small", PatternBytes(100 + seed, seed + 3))
      .AddStream("1Table", PatternBytes(1200, seed + 4))
      .SetFreeSectorsAfterStreams(freeSectors)
      .SetFreeSectorsAtEnd(freeSectors);
  fsys::create_directories(fsys::path(Path(relative)).parent_path());
  builder.WriteTo(Path(relative));
}

std::vector<std::string> TempDir::TempFiles() const {
  std::vector<std::string> found;
  for (const auto &entry : fsys::recursive_directory_iterator(root)) {
    std::string name = entry.path().filename().string();
    if (name.size() >= 7 && name.compare(0, 3, "vkr") == 0 &&
        name.compare(name.size() - 4, 4, ".tmp") == 0)
      found.push_back(entry.path().string().substr(root.size()));
  }
  return found;
}

} // namespace velkor::test
