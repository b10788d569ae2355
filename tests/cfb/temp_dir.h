//===- tests/cfb/temp_dir.h - A temporary directory per test ---------------===//
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace cfbtest {

/// Fixture owning a fresh temporary directory, removed after the test.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "velkor-cfb-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << "cannot create a temporary directory";
    dir = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  std::string Path(const std::string& name) const { return dir + "/" + name; }

  std::string dir;
};

}  // namespace cfbtest
