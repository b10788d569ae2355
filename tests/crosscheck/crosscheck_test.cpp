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
#include "support/cfb_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

const char *const kPython = VELKOR_PYTHON;

/// A script of tests/crosscheck, e.g. "cfb_tree.py".
std::string CrosscheckScript(const std::string &name) {
  return VELKOR_SOURCE_DIR "/tests/crosscheck/" + name;
}

class Crosscheck : public testing::Test {
protected:
  // The copies are shared by the cases below: made once for the whole suite.
  static void SetUpTestSuite() {
    copies = new TempDir;
    for (const char *folder : {"office", "slack", "synth"}) {
      fs::create_directories(*copies / folder);
      for (const auto &entry : fs::directory_iterator(fs::path(FixturesDir()) / folder)) {
        fs::path target = fs::path(*copies / folder) / entry.path().filename();
        ProcessResult result =
            RunProcess({CliProgram(), "copy", "-q", entry.path().string(), target.string()});
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
  static fs::path CopyOf(const fs::path &source) {
    return fs::path(copies->Path()) / source.parent_path().filename() / source.filename();
  }

  static TempDir *copies;
  static std::vector<fs::path> sources;
  static std::string failures;
};

TempDir *Crosscheck::copies = nullptr;
std::vector<fs::path> Crosscheck::sources;
std::string Crosscheck::failures;

TEST_F(Crosscheck, EveryFixtureCopiesToThePlannedLeastSize) {
  ASSERT_EQ(failures, "");
  ASSERT_GE(sources.size(), 20u);
  for (const fs::path &source : sources) {
    cfb::Source original = cfb::Source::Open(source.string());
    EXPECT_EQ(fs::file_size(CopyOf(source)), original.PlannedCopySize()) << source;
    EXPECT_LE(fs::file_size(CopyOf(source)), fs::file_size(source)) << source;
    if (source.parent_path().filename() == "slack") {
      EXPECT_LT(fs::file_size(CopyOf(source)), fs::file_size(source))
          << "free space is dropped: " << source;
    }
  }
}

TEST_F(Crosscheck, OlefileAndGsfListTheSameTreeForOriginalAndCopy) {
  ASSERT_EQ(failures, "");
  for (const fs::path &source : sources) {
    ProcessResult same = RunProcess({kPython, CrosscheckScript("cfb_tree.py"), "same",
                                     source.string(), CopyOf(source).string()});
    EXPECT_EQ(same.exitCode, 0) << source << "\n" << same.out << same.err;
    // The two readers agree with each other on the copy, and on the original
    // (which checks the fixture writer as well).
    for (const fs::path &file : {CopyOf(source), source}) {
      ProcessResult agree =
          RunProcess({kPython, CrosscheckScript("cfb_tree.py"), "agree", file.string()});
      EXPECT_EQ(agree.exitCode, 0) << file << "\n" << agree.out << agree.err;
    }
  }
}

TEST_F(Crosscheck, LibreOfficeReadsTheSameContentFromTheCopies) {
  ASSERT_EQ(failures, "");
  // Originals and copies of the real documents and of their slack variants,
  // side by side under prefixed names so that one LibreOffice run per kind does all.
  TempDir originals, copied;
  for (const fs::path &source : sources) {
    std::string folder = source.parent_path().filename().string();
    if (folder == "synth")
      continue;
    std::string name = folder + "_" + source.filename().string();
    fs::copy_file(source, originals / name);
    fs::copy_file(CopyOf(source), copied / name);
  }
  ProcessResult result =
      RunProcess({kPython, CrosscheckScript("lo_same_text.py"), originals.Path(), copied.Path()});
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_NE(result.out.find("same content: 12 documents"), std::string::npos) << result.out;
}

TEST_F(Crosscheck, CopiesOfCopiesAreByteIdentical) {
  ASSERT_EQ(failures, "");
  TempDir again;
  for (const fs::path &source : sources) {
    fs::path target = again / source.filename().string();
    ASSERT_EQ(
        RunProcess({CliProgram(), "copy", "-q", CopyOf(source).string(), target.string()}).exitCode,
        0);
    EXPECT_EQ(ReadFile(target), ReadFile(CopyOf(source))) << source;
    fs::remove(target);
  }
}

// Files whose chains go on past what their streams' sizes need, as real
// writers leave them: olefile reads the same tree from the original and
// from velkor-cli's copy, and olefile and gsf agree on the copy.
TEST(CrosscheckQuirks, ChainsPastTheirSizesCopyToWhatOlefileReads) {
  TempDir work;
  const fs::path source = work / "quirky.doc", copy = work / "copy.doc";
  for (const QuirkyFile &quirky : ChainTailQuirks()) {
    SCOPED_TRACE(quirky.name);
    quirky.file.Save(source.string());
    fs::remove(copy);
    ProcessResult copied = RunProcess({CliProgram(), "copy", "-q", source.string(), copy.string()});
    ASSERT_EQ(copied.exitCode, 0) << copied.err;
    ProcessResult original =
        RunProcess({kPython, CrosscheckScript("cfb_tree.py"), "olefile", source.string()});
    ProcessResult copyListing =
        RunProcess({kPython, CrosscheckScript("cfb_tree.py"), "olefile", copy.string()});
    EXPECT_EQ(original.exitCode, 0) << original.err;
    EXPECT_NE(original.out.find("stream\t/WordDocument"), std::string::npos) << original.out;
    EXPECT_EQ(original.out, copyListing.out);
    ProcessResult agree =
        RunProcess({kPython, CrosscheckScript("cfb_tree.py"), "agree", copy.string()});
    EXPECT_EQ(agree.exitCode, 0) << agree.out << agree.err;
  }
}

// Sibling names in many scripts, with letters whose uppercase moves them past
// others: the copy's sibling trees list them in the format's order as a
// checker in Python computes it. The copy is made as root with the system's
// locales hidden (a mount namespace), as on a machine that has none, so the
// order cannot come from the machine.
TEST(CrosscheckNames, SiblingOrderDoesNotDependOnTheMachine) {
  const std::vector<std::u16string> names = {u"\u00E9",       u"\u00CA",
                                             u"\u00FF",       u"\u0100", // accented Latin: é Ê ÿ Ā
                                             u"\u03B1",       u"\u0392",
                                             u"\u03C2",       u"\u03A4", // Greek: α Β ς Τ
                                             u"\u0430",       u"\u0411",
                                             u"\u044F", // Cyrillic: а Б я
                                             u"\u4E2D",       u"\u65E5",
                                             u"\u4E2D\u6587", // CJK: 中 日 中文
                                             u"\u00DF",       u"\u017F",
                                             u"\u00DFa",      u"SSa", // ß, long s
                                             u"\u01C5",       u"\u01C8\u01F2",
                                             u"\u01F0", // titlecase ǅ ǈǲ, ǰ
                                             u"\u0131",       u"Z",
                                             u"\u0131a",      u"Ib",
                                             u"\u0130st",     u"\u0131St", // dotless ı, dotted İ
                                             u"\u00E9a",      u"\u00C9B",
                                             u"e\u0301"}; // éa ÉB, e and a combining accent
  CfbBuilder builder;
  builder.Shape(SiblingShape::Unsorted);
  const int storage = builder.AddStorage(-1, u"\u0416\u0443\u0440\u043D\u0430\u043B"); // Журнал
  for (std::size_t k = 0; k < names.size(); ++k) {
    builder.AddPatternStream(-1, names[k], 10 + k, static_cast<unsigned>(k));
    builder.AddPatternStream(storage, names[names.size() - 1 - k], 5000, static_cast<unsigned>(k));
  }
  TempDir work;
  const fs::path source = work / "names.doc", copy = work / "copy.doc";
  builder.Build().Save(source.string());
  std::vector<std::string> command = {CliProgram(), "copy", "-q", source.string(), copy.string()};
  const std::vector<std::string> withoutLocales = {
      "unshare", "--mount", "sh", "-c",
      "mount -t tmpfs none /usr/lib/locale && exec \"$0\" \"$@\""};
  // Where no mount namespace can be made, the copy runs with the machine's locales.
  if (::geteuid() == 0 && RunProcess({withoutLocales[0], withoutLocales[1], withoutLocales[2],
                                      withoutLocales[3], withoutLocales[4], "true"})
                                  .exitCode == 0)
    command.insert(command.begin(), withoutLocales.begin(), withoutLocales.end());
  ProcessResult copied = RunProcess(command);
  ASSERT_EQ(copied.exitCode, 0) << copied.err;
  ProcessResult order =
      RunProcess({kPython, CrosscheckScript("cfb_tree.py"), "order", copy.string()});
  EXPECT_EQ(order.exitCode, 0) << order.out << order.err;
  // Both storages list every name (a space before each, one in "Root Entry").
  EXPECT_EQ(std::count(order.out.begin(), order.out.end(), ' '),
            2 * static_cast<long>(names.size()) + 2)
      << order.out;
}

} // namespace
} // namespace velkor::test
