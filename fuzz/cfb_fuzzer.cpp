//===- fuzz/cfb_fuzzer.cpp - libFuzzer entry: reader, copy and comparison --===//

#include "round_trip.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <sys/stat.h>

namespace {

// One scratch folder per process: $VELKOR_FUZZ_SCRATCH (fuzz/run.sh makes and
// removes it), else one in memory when /dev/shm is there.
const std::string &ScratchDirectory() {
  static const std::string directory = [] {
    if (const char *given = std::getenv("VELKOR_FUZZ_SCRATCH"))
      return std::string(given);
    struct stat info {};
    std::string base =
        ::stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) ? "/dev/shm" : "/tmp";
    std::string path = base + "/velkor-fuzz-" + std::to_string(::getpid());
    ::mkdir(path.c_str(), 0700);
    return path;
  }();
  return directory;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  velkor::fuzz::RoundTripResult result = velkor::fuzz::RoundTrip(data, size, ScratchDirectory());
  if (!result.problem.empty()) {
    std::fprintf(stderr, "round trip broke: %s\n", result.problem.c_str());
    std::abort();
  }
  return 0;
}
