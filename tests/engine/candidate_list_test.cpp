//===- tests/engine/candidate_list_test.cpp - The lean candidate list -----===//

#include "engine/candidate_list.h"

#include "core/lists.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TTCandidate Candidate(const std::string &directory, const std::string &name, std::uint64_t size,
                      std::uint64_t inode) {
  TTCandidate candidate;
  candidate.directory = directory.c_str();
  candidate.name = name.c_str();
  candidate.sizeHigh = static_cast<std::uint32_t>(size >> 32);
  candidate.sizeLow = static_cast<std::uint32_t>(size);
  candidate.device = 0x0801 + inode % 3;
  candidate.inode = inode;
  candidate.attributes = inode % 2 ? 0x80u : 0x10u;
  candidate.mode = 0100644 + static_cast<std::uint32_t>(inode % 8);
  candidate.linkCount = 1;
  candidate.lastWrite = {1700000000, 5};
  return candidate;
}

} // namespace

TEST(TTCandidateList, KeepsOrderAndWhatTheCompactionReads) {
  // A walk's folders in depth-first order: a folder comes back after each of
  // its subfolders. Enough candidates for several record blocks and arena
  // blocks, sizes past 4 GiB, and a folder path longer than an arena block.
  const std::string longFolder = std::string(70000, 'x') + "/";
  const std::vector<std::string> folders = {"", "a/", "a/b/", "a/", "", longFolder, "a/b/c/", ""};
  std::vector<TTCandidate> added;
  TTCandidateList list;
  for (std::uint64_t i = 0; i < 10000; ++i) {
    const std::string name = "file" + std::to_string(i) + std::string(i % 40, 'n') + ".doc";
    added.push_back(Candidate(folders[i * folders.size() / 10000], name,
                              i % 7 == 0 ? (5ull << 32) + i : i * 100, 1000 + i));
    list.Add(added.back());
  }
  ASSERT_EQ(list.Count(), 10000);
  TTCandidate got;
  for (std::int32_t i = 0; i < list.Count(); ++i) {
    list.Get(i, got);
    const TTCandidate &want = added[static_cast<std::size_t>(i)];
    ASSERT_STREQ(got.FullName().CStr(), want.FullName().CStr()) << i;
    ASSERT_STREQ(got.directory.CStr(), want.directory.CStr()) << i;
    ASSERT_EQ(got.Size(), want.Size()) << i;
    ASSERT_EQ(got.device, want.device) << i;
    ASSERT_EQ(got.inode, want.inode) << i;
    ASSERT_EQ(got.attributes, want.attributes) << i;
    ASSERT_EQ(got.mode, want.mode) << i;
    // Not kept: read again from the file when the document is taken up.
    ASSERT_EQ(got.linkCount, 0u) << i;
    ASSERT_EQ(got.lastWrite.tv_sec, 0) << i;
  }
  try {
    list.Get(list.Count(), got);
    ADD_FAILURE() << "an index past the end was accepted";
  } catch (const char *text) {
    EXPECT_EQ(text, kListIndexError);
  }
}
