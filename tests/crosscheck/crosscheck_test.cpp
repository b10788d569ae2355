//===- tests/crosscheck/crosscheck_test.cpp - Copies under other readers ---===//
///
/// \file
/// Copies every fixture (LibreOffice documents, their slack variants and the
/// synthetic trees) with velkor-cli, then checks each copy with readers that
/// share no code with ours: olefile and libgsf list the same tree (names,
/// kinds, class ids, state bits, times, sizes, SHA-256 of every stream), the
/// two agree with each other on the copy, and LibreOffice reads the same text
/// and cells from copy and original. One fixture set, one copy pass; the
/// LibreOffice check converts all documents in one run per kind.
///
//===----------------------------------------------------------------------===//

#include "support/fs_helpers.h"
#include "support/process.h"
#include "support/test_tree.h"

#include "cfb/compound_file.h"

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

const char* const kPython = VELKOR_PYTHON;

/// A script of tests/crosscheck, e.g. "cfb_tree.py".
std::string CrosscheckScript(const std::string& name) {
  return VELKOR_SOURCE_DIR "/tests/crosscheck/" + name;
}

class Crosscheck : public testing::Test {
 protected:
  // The copies are shared by the cases below: made once for the whole suite.
  static void SetUpTestSuite() {
    copies = new TempDir;
    for (const char* folder : {"office", "slack", "synth"}) {
      fs::create_directories(*copies / folder);
      for (const auto& entry : fs::directory_iterator(fs::path(FixturesDir()) / folder)) {
        fs::path target = fs::path(*copies / folder) / entry.path().filename();
        ProcessResult result = RunProcess({CliProgram(), "copy", "-q", entry.path().string(), target.string()});
        failures += result.exitCode == 0 ? "" : entry.path().string() + ": " + result.err;
        sources.push_back(entry.path());
      }
    }
  }
  static void TearDownTestSuite() {
    delete copies;
    copies = nullptr;
    sources.clear();
  }
  static fs::path CopyOf(const fs::path& source) {
    return fs::path(copies->Path()) / source.parent_path().filename() / source.filename();
  }

  static TempDir* copies;
  static std::vector<fs::path> sources;
  static std::string failures;
};

TempDir* Crosscheck::copies = nullptr;
std::vector<fs::path> Crosscheck::sources;
std::string Crosscheck::failures;

TEST_F(Crosscheck, EveryFixtureCopiesToThePlannedLeastSize) {
  ASSERT_EQ(failures, "");
  ASSERT_GE(sources.size(), 20u);
  for (const fs::path& source : sources) {
    cfb::Source original = cfb::Source::Open(source.string());
    EXPECT_EQ(fs::file_size(CopyOf(source)), original.PlannedCopySize()) << source;
    EXPECT_LE(fs::file_size(CopyOf(source)), fs::file_size(source)) << source;
    if (source.parent_path().filename() == "slack") {
      EXPECT_LT(fs::file_size(CopyOf(source)), fs::file_size(source)) << "free space is dropped: " << source;
    }
  }
}

TEST_F(Crosscheck, OlefileAndGsfListTheSameTreeForOriginalAndCopy) {
  ASSERT_EQ(failures, "");
  for (const fs::path& source : sources) {
    ProcessResult same = RunProcess({kPython, CrosscheckScript("cfb_tree.py"), "same", source.string(),
                                     CopyOf(source).string()});
    EXPECT_EQ(same.exitCode, 0) << source << "\n" << same.out << same.err;
    // The two readers agree with each other on the copy, and on the original
    // (which checks the fixture writer as well).
    for (const fs::path& file : {CopyOf(source), source}) {
      ProcessResult agree = RunProcess({kPython, CrosscheckScript("cfb_tree.py"), "agree", file.string()});
      EXPECT_EQ(agree.exitCode, 0) << file << "\n" << agree.out << agree.err;
    }
  }
}

TEST_F(Crosscheck, LibreOfficeReadsTheSameContentFromTheCopies) {
  ASSERT_EQ(failures, "");
  // Originals and copies of the real documents and of their slack variants,
  // side by side under prefixed names so that one LibreOffice run per kind does all.
  TempDir originals, copied;
  for (const fs::path& source : sources) {
    std::string folder = source.parent_path().filename().string();
    if (folder == "synth") continue;
    std::string name = folder + "_" + source.filename().string();
    fs::copy_file(source, originals / name);
    fs::copy_file(CopyOf(source), copied / name);
  }
  ProcessResult result = RunProcess({kPython, CrosscheckScript("lo_same_text.py"),
                                     originals.Path(), copied.Path()});
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_NE(result.out.find("same content: 12 documents"), std::string::npos) << result.out;
}

TEST_F(Crosscheck, CopiesOfCopiesAreByteIdentical) {
  ASSERT_EQ(failures, "");
  TempDir again;
  for (const fs::path& source : sources) {
    fs::path target = again / source.filename().string();
    ASSERT_EQ(RunProcess({CliProgram(), "copy", "-q", CopyOf(source).string(), target.string()}).exitCode, 0);
    EXPECT_EQ(ReadFile(target), ReadFile(CopyOf(source))) << source;
    fs::remove(target);
  }
}

}  // namespace
}  // namespace velkor::test
