//===- engine/copy_check.cpp - Read a fresh copy back and compare it -------===//

#include "engine/copy_check.h"

#include "cfb/compare.h"
#include "cfb/compound_file.h"

#include <atomic>
#include <optional>

void (*copyCheckTestHook)(const std::string &copyPath) = nullptr;

namespace {

/// Constant-initialised, so that a benchmark's setting made before main
/// holds whatever the order of static initialisation.
std::atomic<bool> copyCheckEnabled{true};

} // namespace

std::string CheckCopy(const cfb::Source &document, const cfb::Destination &copy,
                      const std::function<void()> &checkpoint) {
  const std::string differs = "the copy differs from the document: ";
  if (copyCheckTestHook != nullptr)
    copyCheckTestHook(copy.Path());
  try {
    std::optional<cfb::Source> readBack;
    try {
      readBack = cfb::Source::OpenCopy(copy);
    } catch (const cfb::FormatError &e) {
      return differs + "it does not open as a compound file (" + e.what() + ")";
    }
    if (std::optional<cfb::Difference> difference =
            cfb::CompareTrees(document, *readBack, checkpoint))
      return differs + difference->path + ": " + difference->detail;
    return {};
  } catch (const cfb::Error &e) {
    // A system call failed, or a file shrank under the comparison.
    return std::string("the copy could not be read back (") + e.what() + ")";
  }
}

bool CopyCheckEnabled() { return copyCheckEnabled.load(std::memory_order_relaxed); }

void SetCopyCheckEnabled(bool enabled) {
  copyCheckEnabled.store(enabled, std::memory_order_relaxed);
}
