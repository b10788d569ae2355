//===- tests/cli/run_arguments_test.cpp - The command line of a run -------===//

#include "cli/run_arguments.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/process.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace velkor::cli;

struct Parsed {
  std::optional<RunArguments> request;
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadAll(std::FILE *file) {
  std::rewind(file);
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    text.append(buffer, n);
  std::fclose(file);
  return text;
}

Parsed Parse(std::vector<const char *> args) {
  args.insert(args.begin(), "velkor-cli");
  Parsed parsed;
  std::FILE *out = std::tmpfile();
  std::FILE *err = std::tmpfile();
  parsed.request =
      ParseRunArguments(static_cast<int>(args.size()), args.data(), out, err, parsed.status);
  parsed.out = ReadAll(out);
  parsed.err = ReadAll(err);
  return parsed;
}

TEST(RunArguments, DefaultsMirrorTheMainWindow) {
  const Parsed parsed = Parse({"docs"});
  ASSERT_TRUE(parsed.request);
  EXPECT_EQ(parsed.request->paths, std::vector<std::string>{"docs"});
  EXPECT_EQ(parsed.request->masks, "*.doc *.xls");
  EXPECT_TRUE(parsed.request->recursive);
  EXPECT_FALSE(parsed.request->estimate);
  EXPECT_FALSE(parsed.request->allFiles);
  EXPECT_FALSE(parsed.request->allDrives);
  EXPECT_EQ(parsed.request->jobs, 0) << "the engine chooses";
}

TEST(RunArguments, OptionsAndPathsInAnyOrder) {
  const Parsed parsed = Parse(
      {"a", "--estimate", "--masks", " *.DOC  x/*.xls ", "--no-recursive", "--list", "--", "-b"});
  ASSERT_TRUE(parsed.request);
  EXPECT_EQ(parsed.request->paths, (std::vector<std::string>{"a", "-b"}));
  EXPECT_EQ(parsed.request->masks, " *.DOC  x/*.xls ") << "the engine splits the masks";
  EXPECT_FALSE(parsed.request->recursive);
  EXPECT_TRUE(parsed.request->estimate);
  EXPECT_TRUE(parsed.request->list);
  EXPECT_TRUE(Parse({"--masks=*.doc", "a"}).request);
  EXPECT_EQ(Parse({"-j", "3", "a"}).request->jobs, 3);
  EXPECT_EQ(Parse({"a", "--jobs=64"}).request->jobs, 64);
  EXPECT_EQ(Parse({"a"}).request->minAge, std::chrono::seconds(0)) << "every document";
  EXPECT_FALSE(Parse({"a"}).request->idle);
  EXPECT_TRUE(Parse({"a", "--idle"}).request->idle);
  EXPECT_EQ(Parse({"--min-age=90s", "a"}).request->minAge, std::chrono::seconds(90));
  EXPECT_EQ(Parse({"--min-age", "30m", "a"}).request->minAge, std::chrono::minutes(30));
  EXPECT_EQ(Parse({"a", "--min-age=2h"}).request->minAge, std::chrono::hours(2));
  EXPECT_EQ(Parse({"--min-age=7d", "a"}).request->minAge, std::chrono::hours(7 * 24));
  EXPECT_EQ(Parse({"--min-age=36500d", "a"}).request->minAge, std::chrono::hours(36500 * 24));
}

TEST(RunArguments, UsageErrorsGiveStatusTwoMessageAndUsage) {
  const std::vector<std::vector<const char *>> bad = {
      {},                                   // no PATH
      {"--bogus", "a"},                     // unknown option
      {"--all-drives", "a"},                // drives and a PATH
      {"--all-files", "--masks", "*", "a"}, // two ways to choose files
      {"--list", "--json", "a"},            // two outputs
      {"--masks"},                          // an option without its value
      {"--jobs=0", "a"},                    // no worker
      {"--jobs", "65", "a"},                // more workers than allowed
      {"--jobs=2x", "a"},                   // not a number
      {"--jobs=", "a"},                     // an empty number
      {"-j", "-1", "a"},                    // a negative number
      {"--idle=yes", "a"},                  // a flag with a value
      {"--min-age=", "a"},                  // an empty duration
      {"--min-age=30", "a"},                // no unit
      {"--min-age=2w", "a"},                // an unknown unit
      {"--min-age=-1h", "a"},               // a negative duration
      {"--min-age=1.5h", "a"},              // not a whole number
      {"--min-age=36501d", "a"},            // longer than a hundred years
      {"--min-age", "h", "a"},              // a unit without a number
  };
  for (const auto &args : bad) {
    const Parsed parsed = Parse(args);
    EXPECT_FALSE(parsed.request);
    EXPECT_EQ(parsed.status, 2);
    EXPECT_EQ(parsed.out, "");
    EXPECT_EQ(parsed.err.rfind("velkor-cli: ", 0), 0u) << parsed.err;
    EXPECT_NE(parsed.err.find("Usage: velkor-cli [OPTION]... PATH..."), std::string::npos);
  }
}

TEST(RunArguments, HelpAndVersionGoToStandardOutput) {
  Parsed help = Parse({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: velkor-cli", 0), 0u);
  EXPECT_NE(help.out.find("--estimate"), std::string::npos);
  EXPECT_EQ(help.err, "");
  Parsed version = Parse({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("velkor-cli (Velkor) ", 0), 0u);
  EXPECT_TRUE(Parse({"--all-drives"}).request);
}

TEST(RunArguments, PathsBecomeBaseEntriesOrAClearError) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("velkor-args-" + std::to_string(getpid()));
  fs::create_directories(root / "dir");
  std::ofstream(root / "a.doc") << "x";
  ASSERT_EQ(mkfifo((root / "pipe.doc").c_str(), 0600), 0);

  std::vector<PathEntry> entries;
  std::string error;
  ASSERT_TRUE(
      ResolvePaths({(root / "dir").string(), (root / "dir/").string(), (root / "a.doc").string()},
                   entries, error));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].path, (root / "dir/").string());
  EXPECT_FALSE(entries[0].isFile);
  EXPECT_EQ(entries[1].path, (root / "dir/").string());
  EXPECT_EQ(entries[2].path, (root / "a.doc").string());
  EXPECT_TRUE(entries[2].isFile);

  EXPECT_FALSE(
      ResolvePaths({(root / "dir").string(), (root / "missing").string()}, entries, error));
  EXPECT_EQ(error,
            "cannot access '" + (root / "missing").string() + "': No such file or directory");
  EXPECT_FALSE(ResolvePaths({(root / "pipe.doc").string()}, entries, error));
  EXPECT_NE(error.find("neither a regular file nor a directory"), std::string::npos);
  EXPECT_FALSE(ResolvePaths({""}, entries, error));
  fs::remove_all(root);
}

} // namespace

namespace {

TEST(RunArguments, ManualPageDescribesEveryOptionOfTheHelp) {
  std::ifstream page(std::string(VELKOR_SOURCE_DIR) + "/docs/velkor-cli.1");
  ASSERT_TRUE(page) << "docs/velkor-cli.1";
  std::string manual((std::istreambuf_iterator<char>(page)), std::istreambuf_iterator<char>());
  // groff writes a dash as "\-".
  for (std::size_t at; (at = manual.find("\\-")) != std::string::npos;)
    manual.replace(at, 2, "-");
  const std::string help = velkor::cli::HelpText();
  for (std::size_t at = 0; (at = help.find("--", at)) != std::string::npos;) {
    const std::size_t end = help.find_first_not_of("-abcdefghijklmnopqrstuvwxyz", at);
    const std::string option = help.substr(at, end - at);
    at = end;
    EXPECT_NE(manual.find(option), std::string::npos) << option << " is missing from the manual";
  }
  for (const char *command : {"inspect", "copy"})
    EXPECT_NE(manual.find(command), std::string::npos);
  // Every option of every command's --help.
  for (const char *command : {"inspect", "copy"}) {
    const velkor::test::ProcessResult sub = velkor::test::RunCli({command, "--help"});
    ASSERT_EQ(sub.exitCode, 0) << command;
    for (std::size_t at = 0; (at = sub.out.find("--", at)) != std::string::npos;) {
      const std::size_t end = sub.out.find_first_not_of("-abcdefghijklmnopqrstuvwxyz", at);
      const std::string option = sub.out.substr(at, end - at);
      at = end;
      if (option == "--help")
        continue;
      EXPECT_NE(manual.find(option), std::string::npos)
          << command << " " << option << " is missing from the manual";
    }
  }
  // The wildcards are told the same way in --help, the manual and the help page.
  std::ifstream htm(std::string(VELKOR_SOURCE_DIR) + "/resources/Velkor.htm");
  const std::string helpPage((std::istreambuf_iterator<char>(htm)),
                             std::istreambuf_iterator<char>());
  for (const std::string *text :
       std::initializer_list<const std::string *>{&help, &manual, &helpPage}) {
    std::string flat = *text;
    for (const char *markup : {"\\fB", "\\fR", "<code>", "</code>", "'", "\n", "  "}) {
      for (std::size_t at; (at = flat.find(markup)) != std::string::npos;)
        flat.replace(at, std::strlen(markup),
                     std::strcmp(markup, "\n") == 0 || std::strcmp(markup, "  ") == 0 ? " " : "");
    }
    EXPECT_NE(flat.find("? matches one character or none, * any number of characters; a mask "
                        "matches names in every subfolder too"),
              std::string::npos)
        << flat;
  }
}

} // namespace
