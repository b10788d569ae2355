//===- tests/support/windows/test_tree.cpp - Temporary trees on Windows ---===//
///
/// \file
/// The Windows part of the temporary folder: a fresh folder in the user's
/// temporary folder (GetTempPathW), named in the Windows form, removed with
/// everything in it, read-only files too. Windows has no mounts to make.
///
//===----------------------------------------------------------------------===//

#include "support/test_tree.h"

#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>

namespace velkor::test {

namespace fsys = std::filesystem;

namespace {

/// A path as UTF-8 (path::string() would give the ANSI code page's bytes).
std::string Utf8(const fsys::path &path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

/// Lets the owner write every file below `folder`, so that a tree holding
/// read-only files can be removed.
void OpenUp(const fsys::path &folder) {
  std::error_code error;
  for (fsys::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error))
    fsys::permissions(it->path(), fsys::perms::owner_write, fsys::perm_options::add, error);
}

} // namespace

TempDir::TempDir() {
  const fsys::path base = fsys::temp_directory_path();
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fsys::path candidate = base / ("velkor-test-" + std::to_string(random() % 1000000));
    std::error_code error;
    if (fsys::create_directory(candidate, error)) {
      path = Utf8(fsys::path(candidate).make_preferred());
      root = path + "\\";
      return;
    }
    if (error)
      throw std::runtime_error("cannot make a temporary folder in " + Utf8(base) + ": " +
                               error.message());
  }
  throw std::runtime_error("cannot make a temporary folder in " + Utf8(base));
}

TempDir::~TempDir() {
  const fsys::path folder(std::u8string(path.begin(), path.end()));
  OpenUp(folder);
  std::error_code error;
  fsys::remove_all(folder, error);
}

bool MountTmpfs(const std::string &, int, int) { return false; }

bool TempDir::MountTmpfs(const std::string &, int, int) const { return false; }

bool TempDir::BindMount(const std::string &) const { return false; }

bool TempDir::BindMount(const std::string &, const std::string &) const { return false; }

bool TempDir::MountImage(const std::string &, const std::string &, int) const { return false; }

std::string TempDir::MountBtrfs(const std::string &, const std::string &) {
  return "Windows has no btrfs to mount";
}

bool TempDir::RemountReadOnly(const std::string &) const { return false; }

std::string CurrentDirectory() { return Utf8(fsys::current_path()); }

} // namespace velkor::test
