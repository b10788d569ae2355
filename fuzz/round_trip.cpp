//===- fuzz/round_trip.cpp - Open, walk, copy, re-open, compare one input --===//

#include "round_trip.h"

#include "cfb/compare.h"
#include "cfb/compound_file.h"
#include "cfb/error.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace velkor::fuzz {

namespace {

bool WriteFile(const std::string &path, const std::uint8_t *data, std::size_t size) {
  std::FILE *file = std::fopen(path.c_str(), "wb");
  if (!file)
    return false;
  bool ok = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

std::vector<char> ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint64_t FileSize(const std::string &path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

// Reads every stream of `source` to its end; returns a problem or "".
std::string WalkStreams(const cfb::Source &source) {
  const cfb::Tree &tree = source.GetTree();
  std::vector<std::byte> buffer(65536);
  for (std::uint32_t i = 0; i < tree.entries.size(); ++i) {
    const cfb::Entry &entry = tree.entries[i];
    if (entry.kind != cfb::EntryKind::Stream)
      continue;
    std::uint64_t offset = 0;
    for (;;) {
      std::size_t got = source.ReadStream(i, offset, buffer);
      if (got == 0)
        break;
      offset += got;
      if (offset > entry.size)
        return "stream " + tree.PathOf(i) + " reads past its size";
    }
    if (offset != entry.size) {
      return "stream " + tree.PathOf(i) + " reads " + std::to_string(offset) + " of " +
             std::to_string(entry.size) + " bytes";
    }
  }
  return "";
}

std::string CheckAccepted(const cfb::Source &source, const std::string &scratch) {
  if (std::string problem = WalkStreams(source); !problem.empty())
    return problem;
  std::uint64_t planned = 0;
  try {
    planned = source.PlannedCopySize();
  } catch (const cfb::FormatError &error) {
    if (error.GetReason() == cfb::Reason::TooLarge)
      return ""; // no copy possible: refused later
    throw;
  }
  const std::string first = scratch + "/copy1.cfb";
  const std::string second = scratch + "/copy2.cfb";
  {
    cfb::Destination copy = cfb::Destination::Create(first);
    source.CopyTo(copy);
    copy.Release();
  }
  if (FileSize(first) != planned) {
    return "copy has " + std::to_string(FileSize(first)) + " bytes, planned " +
           std::to_string(planned);
  }
  cfb::Source reopened = cfb::Source::Open(first);
  if (auto difference = cfb::CompareTrees(source, reopened)) {
    return "copy differs at " + difference->path + ": " + difference->detail;
  }
  if (reopened.PlannedCopySize() != planned)
    return "copy of the copy would have another size";
  {
    cfb::Destination copy = cfb::Destination::Create(second);
    reopened.CopyTo(copy);
    copy.Release();
  }
  reopened.Release();
  if (ReadFile(first) != ReadFile(second))
    return "copying the copy gives other bytes";
  return "";
}

} // namespace

RoundTripResult RoundTrip(const std::uint8_t *data, std::size_t size,
                          const std::string &scratchDirectory) {
  RoundTripResult result;
  const std::string input = scratchDirectory + "/input.cfb";
  if (!WriteFile(input, data, size)) {
    result.problem = "cannot write the scratch file " + input;
    return result;
  }
  std::optional<cfb::Source> source;
  try {
    source.emplace(cfb::Source::Open(input));
  } catch (const cfb::Error &) {
    return result; // refused with a reason: the expected outcome for most inputs
  } catch (const std::bad_alloc &) {
    result.problem = "open ran out of memory (an allocation not bounded by the file's size)";
    return result;
  } catch (const std::exception &error) {
    result.problem = std::string("open threw something other than a cfb error: ") + error.what();
    return result;
  }
  result.accepted = true;
  try {
    result.problem = CheckAccepted(*source, scratchDirectory);
  } catch (const std::exception &error) {
    // Everything a copy needs was validated at open; a failure now is a fault.
    result.problem = std::string("accepted file failed later: ") + error.what();
  }
  return result;
}

} // namespace velkor::fuzz
