//===- engine/copy_check.cpp - Read a fresh copy back and compare it -------===//

#include "engine/copy_check.h"

#include "cfb/compare.h"
#include "cfb/compound_file.h"

#include <cstdlib>
#include <cstring>
#include <optional>

void (*copyCheckTestHook)(const std::string &copyPath) = nullptr;

std::string CheckCopy(const cfb::Source &document, const std::string &copyPath,
                      const std::function<void()> &checkpoint) {
  const std::string differs = "the copy differs from the document: ";
  if (copyCheckTestHook != nullptr)
    copyCheckTestHook(copyPath);
  try {
    std::optional<cfb::Source> copy;
    try {
      copy = cfb::Source::Open(copyPath, cfb::FinalLink::refuse);
    } catch (const cfb::FormatError &e) {
      return differs + "it does not open as a compound file (" + e.what() + ")";
    }
    if (std::optional<cfb::Difference> difference = cfb::CompareTrees(document, *copy, checkpoint))
      return differs + difference->path + ": " + difference->detail;
    return {};
  } catch (const cfb::Error &e) {
    // A system call failed, or a file shrank under the comparison.
    return std::string("the copy could not be read back (") + e.what() + ")";
  }
}

bool CopyCheckEnabled() {
  static const bool enabled = [] {
    const char *setting = std::getenv("VELKOR_COPY_CHECK");
    return setting == nullptr || std::strcmp(setting, "off") != 0;
  }();
  return enabled;
}
