//===- tests/support/fs_helpers.h - Files and unprivileged children -------===//
///
/// \file
/// Small helpers that build and read trees in a temporary folder, and on
/// Linux RunAsNobody (support/unix/unprivileged.h).
///
//===----------------------------------------------------------------------===//
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace velkor::test {

/// Writes `content` to `path`, creating or replacing the file.
inline void WriteFile(const std::string &path, const std::string &content = "data") {
  FILE *file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path << ": " << std::strerror(errno);
  std::fwrite(content.data(), 1, content.size(), file);
  std::fclose(file);
}

/// The whole content of `path`; empty when it cannot be read.
inline std::string ReadFile(const std::string &path) {
  std::string content;
  FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return content;
  }
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    content.append(buffer, n);
  }
  std::fclose(file);
  return content;
}

/// Names in `directory` that start with "vkr" (leftover temporary files).
inline std::vector<std::string> TemporaryLeftovers(const std::string &directory) {
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(directory)) {
    std::string name = entry.path().filename().string();
    if (name.starts_with("vkr")) {
      names.push_back(name);
    }
  }
  return names;
}

} // namespace velkor::test

#ifndef _WIN32
// The unprivileged child and the other helpers that need Linux.
#include "support/unix/unprivileged.h"
#endif
