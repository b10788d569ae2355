//===- bench/scan_bench.cpp - Walks a tree with the mask walker ------------===//
///
/// \file
/// velkor-scan-bench DIRECTORY MASK...: makes DIRECTORY current, walks it
/// recursively with the given masks as the run does, and prints each
/// candidate's size and last write time, one line each, like
/// `find -printf '%s %T@\n'`. The last line on standard error is the count.
///
//===----------------------------------------------------------------------===//

#include "engine/mask_walker.h"
#include "fs/file_operations.h"
#include "fs/mask_set.h"

#include <cstdio>

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: velkor-scan-bench DIRECTORY MASK...\n");
    return 2;
  }
  if (!SetCurrentDir(TTString(argv[1]))) {
    std::fprintf(stderr, "cannot enter %s\n", argv[1]);
    return 1;
  }
  TTMaskSet masks;
  for (int i = 2; i < argc; ++i) {
    masks.Add(TTString(argv[i]), true, true);
  }
  TTMaskWalker walker(masks);
  TTCandidate candidate;
  long count = 0;
  while (walker.Next(candidate)) {
    std::printf("%llu %lld.%09ld\n", static_cast<unsigned long long>(candidate.Size()),
                static_cast<long long>(candidate.lastWrite.tv_sec), candidate.lastWrite.tv_nsec);
    ++count;
  }
  std::fprintf(stderr, "%ld\n", count);
  return 0;
}
