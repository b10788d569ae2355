//===- cli/run_arguments.cpp - velkor-cli's options and PATH arguments ---===//

#include "cli/run_arguments.h"

#include <cerrno>
#include <cstring>

#include <CLI/CLI.hpp>

#include "cli/byte_text.h"
#include "core/version.h"
#include "core/escape_text.h"
#include "cli/run_ending.h"
#include "engine/worker_count.h"
#include "fs/path_names.h"

namespace velkor::cli {
namespace {

constexpr const char *kUsage = "Usage: velkor-cli [OPTION]... PATH...\n"
                               "  or:  velkor-cli [OPTION]... --all-drives\n"
                               "  or:  velkor-cli inspect [--json] FILE\n"
                               "  or:  velkor-cli copy [--verify] [-q] [--force] SRC DST\n";

void UsageError(std::FILE *err, const std::string &message) {
  std::fprintf(err, "velkor-cli: %s\n%sTry 'velkor-cli --help' for more information.\n",
               message.c_str(), kUsage);
}

/// The value of --jobs: digits only, 1 to kMaxWorkers.
bool ParseJobs(const std::string &text, int &jobs) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  jobs = std::stoi(text);
  return jobs >= 1 && jobs <= kMaxWorkers;
}

constexpr const char *kDurationNeeded =
    "--min-age needs a duration such as 90s, 30m, 2h or 7d (at most 36500d)";

} // namespace

std::string Quoted(const std::string &path) { return "'" + EscapeControlBytes(path) + "'"; }

bool ParseDuration(const std::string &text, std::chrono::seconds &duration) {
  if (text.size() < 2 || text.size() > 10)
    return false;
  const std::string digits = text.substr(0, text.size() - 1);
  if (digits.find_first_not_of("0123456789") != std::string::npos)
    return false;
  long long unit = 0;
  switch (text.back()) {
  case 's':
    unit = 1;
    break;
  case 'm':
    unit = 60;
    break;
  case 'h':
    unit = 3600;
    break;
  case 'd':
    unit = 86400;
    break;
  default:
    return false;
  }
  const long long seconds = std::stoll(digits) * unit; // at most 9 digits: no overflow
  if (seconds > 36500LL * 86400)
    return false;
  duration = std::chrono::seconds(seconds);
  return true;
}

std::string HelpText() {
  return std::string(kUsage) +
         "Make compound documents (*.doc, *.xls) smaller without changing their content.\n"
         "Every matching file under the PATHs that opens as a compound document is\n"
         "copied into a fresh compound file beside it; when the copy is strictly\n"
         "smaller it takes the document's place, keeping its name, permissions, owner,\n"
         "times and extended attributes.\n"
         "\n"
         "A folder PATH is searched (with its subfolders unless --no-recursive). A file\n"
         "PATH is taken, and so is every file of the same name in the subfolders of\n"
         "its folder.\n"
         "\n"
         "Options:\n"
         "      --all-drives      take the roots of all non-removable drives (mounted\n"
         "                          file systems) instead of PATHs\n"
         "      --estimate        do everything but the replacement: the counters show\n"
         "                          what compressing would gain, no file is changed\n"
         "      --masks=MASKS     the space-separated wildcard masks of the files to\n"
         "                          take (default: \"*.doc *.xls\"): '?' matches one\n"
         "                          character or none, '*' any number of characters;\n"
         "                          a mask matches names in every subfolder too (not\n"
         "                          with --no-recursive); letters match in any case;\n"
         "                          a mask may name a folder part (reports/*.doc)\n"
         "      --all-files       take every file, whatever its name\n"
         "      --no-recursive    do not search subfolders\n"
         "      --list            print one line for every file taken up: path, size\n"
         "                          before, size after, and what was done or why not\n"
         "      --json            print one JSON report instead of text\n"
         "  -j, --jobs=N          work on N documents at once, 1 to 64; 1 takes them\n"
         "                          strictly one after another (default: chosen from\n"
         "                          the processors and the kind of drive)\n"
         "      --idle            yield the disk and the processors: read and write in\n"
         "                          the idle I/O class, at the lowest CPU priority\n"
         "                          (nice 19), workers included\n"
         "      --min-age=DURATION\n"
         "                        pass over the documents modified or changed less\n"
         "                          than DURATION ago or at a time in the future\n"
         "                          (\"changed recently\"); DURATION is a whole number\n"
         "                          and s, m, h or d: 90s, 30m, 2h, 7d\n"
         "  -h, --help            display this help and exit\n"
         "  -V, --version         output version information and exit\n"
         "\n"
         "Commands:\n"
         "  inspect FILE          show a compound document's storage tree (names, kinds,\n"
         "                          sizes, class ids) and what a fresh copy would save\n"
         "  copy SRC DST          write a fresh compound file with SRC's tree at DST,\n"
         "                          never touching SRC; --verify checks the copy, -q\n"
         "                          prints nothing on success, --force replaces an\n"
         "                          existing DST (refused without it); DST may be a\n"
         "                          folder to copy into\n"
         "A PATH named like a command is written ./inspect or ./copy. A PATH that is a\n"
         "symbolic link is refused: links are not followed.\n"
         "\n"
         "Ctrl-C, SIGTERM and SIGHUP stop the run before the next document. A second\n"
         "one stops it at once, unless documents are being copied or replaced: those\n"
         "are finished first.\n"
         "\n"
         "Exit status:\n"
         "   0  the run is complete\n"
         "   1  the run ended with a message or an error\n"
         "   2  bad usage: an unknown option, no PATH, a PATH that cannot be read\n"
         " 129  the run was stopped by SIGHUP (a closed terminal or SSH session)\n"
         " 130  the run was stopped with Ctrl-C\n"
         " 143  the run was stopped by SIGTERM (kill, timeout, systemctl stop)\n"
         "\n"
         "Full documentation: man velkor-cli (before installing: man -l docs/velkor-cli.1)\n";
}

std::string VersionText() { return std::string("velkor-cli (Velkor) ") + kVelkorVersion + "\n"; }

std::optional<RunArguments> ParseRunArguments(int argc, const char *const *argv, std::FILE *out,
                                              std::FILE *err, int &status) {
  RunArguments request;
  bool help = false;
  bool version = false;
  bool noRecursive = false;

  // An option without a value refuses one: "--estimate=false" must never
  // be read as "compress". An empty mask list is refused before CLI11 sees
  // it, so that "--masks=" cannot take the next word as its value.
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--")
      break;
    if (word == "--masks=" || (word == "--masks" && i + 1 < argc && argv[i + 1][0] == '\0')) {
      UsageError(err, "--masks needs at least one mask");
      status = kExitUsage;
      return std::nullopt;
    }
    if (word == "--min-age=") {
      UsageError(err, kDurationNeeded);
      status = kExitUsage;
      return std::nullopt;
    }
    if (word == "--jobs=") {
      UsageError(err, "--jobs needs a whole number from 1 to " + std::to_string(kMaxWorkers));
      status = kExitUsage;
      return std::nullopt;
    }
    const std::string name = word.substr(0, word.find('='));
    if (name.size() < word.size() &&
        (name == "--help" || name == "--version" || name == "--all-drives" ||
         name == "--estimate" || name == "--all-files" || name == "--no-recursive" ||
         name == "--list" || name == "--json" || name == "--idle")) {
      UsageError(err, "option '" + name + "' doesn't allow an argument");
      status = kExitUsage;
      return std::nullopt;
    }
  }

  std::string jobs;
  std::string minAge;
  CLI::App app("", "velkor-cli");
  app.set_help_flag(); // the help text is our own, in the GNU layout
  app.allow_windows_style_options(false);
  app.add_flag("-h,--help", help);
  app.add_flag("-V,--version", version);
  app.add_flag("--all-drives", request.allDrives);
  app.add_flag("--estimate", request.estimate);
  CLI::Option *masks = app.add_option("--masks", request.masks);
  CLI::Option *allFiles = app.add_flag("--all-files", request.allFiles);
  app.add_flag("--no-recursive", noRecursive);
  CLI::Option *list = app.add_flag("--list", request.list);
  CLI::Option *json = app.add_flag("--json", request.json);
  app.add_option("-j,--jobs", jobs);
  app.add_option("--min-age", minAge);
  app.add_flag("--idle", request.idle);
  app.add_option("PATH", request.paths);
  masks->excludes(allFiles);
  for (CLI::Option *option : app.get_options()) {
    if (option->get_expected_min() == 0)
      option->disable_flag_override();
  }
  list->excludes(json);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    UsageError(err, e.what());
    status = kExitUsage;
    return std::nullopt;
  }
  if (help) {
    std::fputs(HelpText().c_str(), out);
    status = kExitSuccess;
    return std::nullopt;
  }
  if (version) {
    std::fputs(VersionText().c_str(), out);
    status = kExitSuccess;
    return std::nullopt;
  }
  if (app.count("--jobs") != 0 && !ParseJobs(jobs, request.jobs)) {
    UsageError(err, "--jobs needs a whole number from 1 to " + std::to_string(kMaxWorkers) +
                        ", not " + Quoted(jobs));
    status = kExitUsage;
    return std::nullopt;
  }
  if (app.count("--min-age") != 0 && !ParseDuration(minAge, request.minAge)) {
    UsageError(err, std::string(kDurationNeeded) + ", not " + Quoted(minAge));
    status = kExitUsage;
    return std::nullopt;
  }
  if (request.allDrives && !request.paths.empty()) {
    UsageError(err, "--all-drives takes no PATH");
    status = kExitUsage;
    return std::nullopt;
  }
  if (!request.allDrives && request.paths.empty()) {
    UsageError(err, "missing PATH (a folder or a file; or --all-drives)");
    status = kExitUsage;
    return std::nullopt;
  }
  request.recursive = !noRecursive;
  return request;
}

bool ResolvePaths(const std::vector<std::string> &paths, std::vector<PathEntry> &entries,
                  std::string &error) {
  entries.clear();
  for (const std::string &path : paths) {
    const PathKind kind = CheckPathArgument(path, error);
    if (kind == PathKind::unusable)
      return false;
    if (kind == PathKind::directory) {
      TTString directory(path.c_str());
      MakeDirectoryPath(directory);
      entries.push_back({directory.CStr(), false});
    } else {
      entries.push_back({path, true});
    }
  }
  return true;
}

} // namespace velkor::cli
