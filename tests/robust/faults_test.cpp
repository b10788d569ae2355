//===- tests/robust/faults_test.cpp - Full disks, permissions, locks, races ===//
///
/// \file
/// Runs over real trees where the world gets in the way: a file system that
/// fills up in the middle of a run or has no inode left for a temporary
/// file, a read-only folder, a document the user may not read, documents
/// locked by another process, documents replaced, removed or turned into
/// something else between the scan and their compaction, and folders that
/// vanish or are swapped for a link during the run. Each case checks that
/// the run ends as it should and that nothing else in the tree changed: every
/// file is either exactly as it was or, for a document, a smaller compacted
/// copy with the same streams (olefile) and the same mode, owner and times.
///
/// velkor-cli runs as a child process for the cases a user meets from the
/// terminal; the engine runs in-process, with a recording progress view
/// whose hooks change the tree at the right moment, for the races.
///
//===----------------------------------------------------------------------===//
#include "engine/compact_document.h"
#include "engine/compaction_run.h"
#include "engine/document_lease.h"
#include "engine/run_failure.h"
#include "engine/run_messages.h"
#include "engine/user_abort.h"

#include "support/process.h"
#include "support/cfb_builder.h"
#include "support/recording_view.h"
#include "support/test_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace velkor::test;

namespace {

namespace fsys = std::filesystem;

/// Every regular file below a folder, by path relative to it, with its state.
using Snapshot = std::map<std::string, FileState>;

Snapshot Take(const std::string &root) {
  Snapshot snapshot;
  for (const auto &item :
       fsys::recursive_directory_iterator(root, fsys::directory_options::skip_permission_denied))
    if (item.is_regular_file() && !item.is_symlink())
      snapshot[fsys::relative(item.path(), root).string()] = StateOf(item.path().string());
  return snapshot;
}

/// Checks every file of `before` against the tree now: unchanged, or (for a
/// document listed in `mayShrink`) a smaller copy with the same tree and the
/// same mode, owner and times. Files in `gone` may be missing. Returns how
/// many documents were compacted.
int ExpectNothingLost(const std::string &root, const Snapshot &before, const Snapshot &listings,
                      const std::vector<std::string> &gone = {}) {
  // The originals are kept beside the folder: "t/" has them in "t.orig/".
  const std::string origRoot = root.substr(0, root.size() - 1) + ".orig/";
  int compacted = 0;
  for (const auto &[relative, was] : before) {
    const std::string path = root + relative;
    if (std::find(gone.begin(), gone.end(), relative) != gone.end())
      continue;
    if (!fsys::exists(fsys::symlink_status(path))) {
      ADD_FAILURE() << relative << ": missing";
      continue;
    }
    const FileState now = StateOf(path);
    if (now.contentHash == was.contentHash) {
      EXPECT_EQ(was.mode, now.mode) << relative;
      EXPECT_TRUE(SameTime(was.modified, now.modified)) << relative;
      continue;
    }
    ++compacted;
    EXPECT_TRUE(listings.count(relative)) << relative << ": changed, but it is not a document";
    EXPECT_LT(now.size, was.size) << relative << ": changed but not smaller";
    EXPECT_EQ(OleListing(path), OleListing(origRoot + relative)) << relative << ": streams differ";
    EXPECT_EQ(was.mode, now.mode) << relative;
    EXPECT_EQ(was.owner, now.owner) << relative;
    EXPECT_EQ(was.group, now.group) << relative;
    EXPECT_TRUE(SameTime(was.modified, now.modified)) << relative;
    EXPECT_EQ(was.extended, now.extended) << relative;
  }
  return compacted;
}

/// Waits up to five seconds for a lease on some file to be breaking: a
/// process's open waits for it. True when one is.
bool WaitForLeaseBreak() {
  for (int tries = 0; tries < 5000; ++tries) {
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line))
      if (line.find("LEASE") != std::string::npos && line.find("BREAKING") != std::string::npos)
        return true;
    usleep(1000);
  }
  return false;
}

/// The line of a --list output that names `name`, or "".
std::string LineOf(const std::string &out, const std::string &name) {
  std::size_t at = out.find("/" + name + ":");
  if (at == std::string::npos)
    return std::string();
  std::size_t end = out.find('\n', at);
  return out.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

/// The counters at the end of a run's text output, without the time it took.
std::string CountersOf(const std::string &out) {
  std::size_t at = out.find("Total files:");
  return at == std::string::npos ? std::string() : WithoutElapsedTime(out.substr(at));
}

/// `bytes` with the unlocked writers' late write in it.
std::string WithLateWrite(std::string bytes) {
  const std::string late = LockHolder::kLateWrite;
  bytes.replace(LockHolder::kLateWriteOffset, late.size(), late);
  return bytes;
}

/// A save made the way editors, sync clients and GIO do it: a new file
/// written beside the document and renamed over it.
void SaveByRenaming(const TempDir &tree, const std::string &document, const std::string &bytes) {
  const std::string scratch = document + ".~save";
  tree.Write(scratch, bytes);
  ASSERT_EQ(0, rename(tree.Path(scratch).c_str(), tree.Path(document).c_str()));
}

class FaultsTest : public ::testing::Test {
protected:
  /// Takes the state of every file below `folder` ("t/") and keeps a copy of
  /// each beside it ("t.orig/"), outside the runs, for the olefile
  /// comparison. The documents among them become `originals`.
  Snapshot Remember(const std::string &folder) {
    Snapshot snapshot = Take(tree.Path(folder));
    Snapshot documents;
    for (const auto &[relative, state] : snapshot) {
      const std::string from = tree.Path(folder) + relative;
      const std::string to = tree.Path(folder.substr(0, folder.size() - 1) + ".orig/") + relative;
      fsys::create_directories(fsys::path(to).parent_path());
      fsys::copy_file(from, to, fsys::copy_options::overwrite_existing);
      std::ifstream in(from, std::ios::binary);
      char magic[8] = {};
      in.read(magic, 8);
      if (std::memcmp(magic, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0)
        documents[relative] = state;
    }
    originals = documents;
    return snapshot;
  }

  /// Runs the engine in-process over one folder; says how it ended.
  std::string RunEngine(const std::string &folder) {
    RunOptions options;
    options.allFiles = false;
    options.allDrives = false;
    options.compress = true;
    options.workers = workers;
    BaseEntryList entries(view);
    entries.Add(tree.Path(folder).c_str(), false);
    try {
      CompactionRun(options, entries, view);
      return "complete";
    } catch (const UserAbort &) {
      return "aborted";
    } catch (...) {
      return DescribeCurrentException();
    }
  }

  std::vector<std::string> TempsIn(const std::string &folder) {
    std::vector<std::string> temps;
    for (const std::string &t : tree.TempFiles())
      if (t.rfind(folder, 0) == 0)
        temps.push_back(t);
    return temps;
  }

  /// `own` ("o/") on the tree's own file system, then the same name's
  /// folders on a tmpfs and on btrfs on a loop device, where these can be
  /// mounted here: where leases and the exchange of names are tried.
  std::vector<std::string> LeaseFolders(const std::string &own) {
    std::vector<std::string> folders = {own};
    if (tree.MountTmpfs("tmpfs", 16384))
      folders.push_back("tmpfs/" + own);
    if (tree.MountImage("btrfs", "btrfs", 256))
      folders.push_back("btrfs/" + own);
    return folders;
  }

  void TearDown() override { SetLeaseCheckpointHook(nullptr); }

  TempDir tree;
  RecordingView view;
  /// The engine's workers; 0 takes the automatic choice.
  int workers = 0;
  Snapshot originals;
};

// ---------------------------------------------------------------------------
// A full disk

// Small documents compact; the large one's copy does not fit. The run ends
// with the message, every document is whole, and no copy is left behind.
TEST_F(FaultsTest, DiskFillingUpMidRunEndsWithCreateTmpDocumentErrorAndLosesNothing) {
  tree.WriteDocument("src/a.doc", 61, 30);
  tree.WriteDocument("src/b.xls", 62, 30);
  {
    // 300 KiB of content: its copy cannot fit in the room left.
    CfbBuilder large;
    large.AddStream("WordDocument", PatternBytes(300 * 1024, 63))
        .AddStream("1Table", PatternBytes(2000, 64))
        .SetFreeSectorsAfterStreams(4);
    large.WriteTo(tree.Path("src/large.doc"));
  }
  tree.Write("src/notes.txt", "other file\n");
  std::uintmax_t total = 0;
  for (const char *name : {"a.doc", "b.xls", "large.doc", "notes.txt"})
    total += (fsys::file_size(tree.Path(std::string("src/") + name)) + 4095) / 4096 * 4;
  // Room for the files and 64 KiB more: enough for a small copy, not for
  // the large one.
  if (!tree.MountTmpfs("full", static_cast<int>(total) + 64))
    GTEST_SKIP() << "cannot mount a tmpfs here (needs CAP_SYS_ADMIN)";
  for (const char *name : {"a.doc", "b.xls", "large.doc", "notes.txt"})
    fsys::copy_file(tree.Path(std::string("src/") + name), tree.Path(std::string("full/") + name));
  // The originals for olefile live outside the small file system.
  const Snapshot before = Take(tree.Path("full"));
  for (const auto &[relative, state] : before) {
    fsys::create_directories(tree.Path("full.orig"));
    fsys::copy_file(tree.Path("full/") + relative, tree.Path("full.orig/") + relative);
  }
  Snapshot documents = before;
  documents.erase("notes.txt");

  ProcessResult result = RunCli({"--list", tree.Path("full")});
  EXPECT_EQ(1, result.exitCode) << result.out << result.err;
  EXPECT_NE(std::string::npos, (result.out + result.err).find(RunMessage::kCreateTmpError))
      << result.out << result.err;
  // The document in hand is named with the cause.
  EXPECT_NE(std::string::npos, (result.out + result.err).find("No space left on device"))
      << result.out;
  EXPECT_EQ(before.at("large.doc").contentHash, StateOf(tree.Path("full/large.doc")).contentHash);
  EXPECT_TRUE(TempsIn("full/").empty());
  ExpectNothingLost(tree.Path("full/"), before, documents);
}

// Not even an empty temporary file can be made: the run ends with a message
// that names the cause and the document, and touches nothing.
TEST_F(FaultsTest, NoInodeLeftForTheTemporaryFileEndsTheRunClearly) {
  tree.WriteDocument("src/a.doc", 64, 30);
  // Three inodes: the root folder and the two files.
  if (!tree.MountTmpfs("noinode", 1024, 3))
    GTEST_SKIP() << "cannot mount a tmpfs here (needs CAP_SYS_ADMIN)";
  fsys::copy_file(tree.Path("src/a.doc"), tree.Path("noinode/a.doc"));
  tree.Write("noinode/b.txt", "x");
  const Snapshot before = Take(tree.Path("noinode"));
  ProcessResult result = RunCli({tree.Path("noinode")});
  EXPECT_EQ(1, result.exitCode) << result.out << result.err;
  const std::string all = result.out + result.err;
  EXPECT_NE(std::string::npos, all.find("disk full")) << all;
  EXPECT_NE(std::string::npos, all.find("a.doc")) << all;
  EXPECT_TRUE(TempsIn("noinode/").empty());
  EXPECT_EQ(0, ExpectNothingLost(tree.Path("noinode/"), before, {}));
}

// ---------------------------------------------------------------------------
// Permissions and locks

// A read-only bind mount beside a writable folder: the run ends at the first
// document it cannot make a copy beside, naming it; nothing else changes.
TEST_F(FaultsTest, ReadOnlyFolderIsReportedAndLeftUntouched) {
  tree.WriteDocument("t/ro/a.doc", 65);
  tree.WriteDocument("t/ro/b.doc", 66);
  tree.WriteDocument("t/rw/c.doc", 67);
  if (!tree.BindMount("t/ro") || !tree.RemountReadOnly("t/ro"))
    GTEST_SKIP() << "cannot make a read-only bind mount here (needs CAP_SYS_ADMIN)";
  const Snapshot before = Remember("t/");
  ProcessResult result = RunCli({"--list", tree.Path("t")});
  const std::string all = result.out + result.err;
  EXPECT_EQ(1, result.exitCode) << all;
  EXPECT_NE(std::string::npos, all.find("access denied: ")) << all;
  EXPECT_NE(std::string::npos, all.find("/ro/")) << all;
  EXPECT_EQ(before.at("ro/a.doc").contentHash, StateOf(tree.Path("t/ro/a.doc")).contentHash);
  EXPECT_EQ(before.at("ro/b.doc").contentHash, StateOf(tree.Path("t/ro/b.doc")).contentHash);
  EXPECT_TRUE(tree.TempFiles().empty());
  ExpectNothingLost(tree.Path("t/"), before, originals);
}

// The same read-only folder between a large document and many small ones
// that shrink, with 1, 2 and 8 workers: a run with workers ends where the
// serial run ends, and leaves exactly its files, listing and counters.
TEST_F(FaultsTest, ReadOnlyFolderEndsRunsWithWorkersWhereTheSerialRunEnds) {
  std::map<std::string, std::string> results;
  for (const char *jobs : {"1", "2", "8"}) {
    SCOPED_TRACE(std::string("--jobs ") + jobs);
    // One tmpfs each, filled in the same order, lists its entries alike:
    // the newest first. The tree lies below the mount's root, so that the
    // walk goes into the read-only bind mount.
    const std::string mount = std::string("w") + jobs;
    const std::string folder = mount + "/t";
    if (!tree.MountTmpfs(mount, 65536))
      GTEST_SKIP() << "cannot mount a tmpfs here (needs CAP_SYS_ADMIN)";
    for (int n = 0; n < 40; ++n)
      tree.WriteDocument(folder + "/c/small" + std::to_string(n) + ".doc", 142 + n);
    tree.WriteDocument(folder + "/b/ro/x.doc", 141);
    CfbBuilder large;
    large.AddStream("WordDocument", PatternBytes(24 << 20, 140)).SetFreeSectorsAtEnd(64);
    tree.MakeDir(folder + "/a");
    large.WriteTo(tree.Path(folder + "/a/large.doc"));
    if (!tree.BindMount(folder + "/b/ro") || !tree.RemountReadOnly(folder + "/b/ro"))
      GTEST_SKIP() << "cannot make a read-only bind mount here (needs CAP_SYS_ADMIN)";
    const Snapshot before = Take(tree.Path(folder));
    ProcessResult result = RunCli({"--list", "--jobs", jobs, tree.Path(folder)});
    EXPECT_EQ(1, result.exitCode) << result.out << result.err;
    std::string seen = WithoutElapsedTime(result.out) + result.err;
    for (std::size_t at; (at = seen.find(tree.Path(folder))) != std::string::npos;)
      seen.replace(at, tree.Path(folder).size(), "W");
    const Snapshot after = Take(tree.Path(folder));
    for (const auto &[relative, state] : after)
      seen += relative +
              (state.contentHash == before.at(relative).contentHash ? " kept\n" : " changed\n");
    results[jobs] = seen;
    EXPECT_TRUE(TempsIn(folder + "/").empty());
  }
  ASSERT_NE(std::string::npos, results["1"].find("a/large.doc")) << results["1"];
  EXPECT_LT(results["1"].find("a/large.doc"), results["1"].find("b/ro/x.doc"))
      << "the walk did not list the large document first";
  EXPECT_EQ(results["1"], results["2"]);
  EXPECT_EQ(results["1"], results["8"]);
}

// An unprivileged user's run: a document that user may not read is passed
// over with the reason; a folder that user may not write ends the run.
TEST_F(FaultsTest, UnprivilegedRunPassesOverUnreadableDocumentsAndStopsAtUnwritableFolders) {
  if (access("/usr/bin/setpriv", X_OK) != 0)
    GTEST_SKIP() << "setpriv is not installed";
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to prepare files owned by another user";
  tree.WriteDocument("u/mine.doc", 68);
  tree.WriteDocument("u/secret.doc", 69);
  tree.WriteDocument("v/theirs.doc", 70);
  Remember("u/");
  const Snapshot beforeV = Take(tree.Path("v"));
  // The tree is reachable by everybody; u/ and mine.doc belong to nobody;
  // secret.doc is root's and private; v/ is root's and not writable by others.
  chmod(tree.Root().c_str(), 0755);
  chmod(tree.Path("u").c_str(), 0755);
  ASSERT_EQ(0, chown(tree.Path("u").c_str(), 65534, 65534));
  ASSERT_EQ(0, chown(tree.Path("u/mine.doc").c_str(), 65534, 65534));
  ASSERT_EQ(0, chmod(tree.Path("u/secret.doc").c_str(), 0600));
  chmod(tree.Path("v").c_str(), 0755);
  const Snapshot owned = Take(tree.Path("u"));
  const std::vector<std::string> asNobody = {
      "/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--", CliProgram()};

  std::vector<std::string> command = asNobody;
  command.insert(command.end(), {"--list", tree.Path("u")});
  ProcessResult result = CliProcess(command).Finish();
  EXPECT_EQ(0, result.exitCode) << result.out << result.err;
  EXPECT_NE(std::string::npos, result.out.find("secret.doc")) << result.out;
  EXPECT_NE(std::string::npos, result.out.find("Permission denied")) << result.out;
  EXPECT_EQ(owned.at("secret.doc").contentHash, StateOf(tree.Path("u/secret.doc")).contentHash);
  EXPECT_EQ(1, ExpectNothingLost(tree.Path("u/"), owned, originals)) << "mine.doc is compacted";

  command = asNobody;
  command.insert(command.end(), {tree.Path("v")});
  result = CliProcess(command).Finish();
  EXPECT_EQ(1, result.exitCode) << result.out << result.err;
  EXPECT_NE(std::string::npos, (result.out + result.err).find("access denied: "))
      << result.out << result.err;
  EXPECT_EQ(0, ExpectNothingLost(tree.Path("v/"), beforeV, {}));
  EXPECT_TRUE(tree.TempFiles().empty());
}

// Documents locked for writing by another process, with each kind of lock
// office programs take, are passed over; the others are compacted.
TEST_F(FaultsTest, DocumentsLockedByAnotherProcessArePassedOver) {
  tree.WriteDocument("l/fcntl.doc", 71);
  tree.WriteDocument("l/flock.doc", 72);
  tree.WriteDocument("l/free.doc", 73);
  const Snapshot before = Remember("l/");
  LockHolder recordLock(tree.Path("l/fcntl.doc"), false);
  LockHolder wholeLock(tree.Path("l/flock.doc"), true);
  ASSERT_TRUE(recordLock.Holding() && wholeLock.Holding());
  ProcessResult result = RunCli({"--list", tree.Path("l")});
  EXPECT_EQ(0, result.exitCode) << result.out << result.err;
  for (const char *name : {"fcntl.doc", "flock.doc"}) {
    std::size_t line = result.out.find(name);
    ASSERT_NE(std::string::npos, line) << result.out;
    EXPECT_NE(std::string::npos, result.out.find("in use by another program", line)) << result.out;
    EXPECT_EQ(before.at(name).contentHash,
              StateOf(tree.Path(std::string("l/") + name)).contentHash);
  }
  EXPECT_EQ(1, ExpectNothingLost(tree.Path("l/"), before, originals));
  EXPECT_TRUE(tree.TempFiles().empty());
}

// ---------------------------------------------------------------------------
// Programs that have a document open without a lock

// A program holds a document open read-write without a lock, as many
// programs and file servers do. The document is passed over, by an estimate
// as by a compressing run, which count alike; the program's later write,
// made through its open descriptor, is in the file. A program that only
// reads a document does not keep it from being compacted, and goes on
// reading the old bytes whole.
TEST_F(FaultsTest, DocumentOpenWithoutALockIsNeverReplacedAndItsWriteIsKept) {
  for (const std::string &folder : LeaseFolders("o/")) {
    SCOPED_TRACE(folder);
    tree.WriteDocument(folder + "held.doc", 87);
    tree.WriteDocument(folder + "read.doc", 88);
    tree.WriteDocument(folder + "free.doc", 89);
    const Snapshot before = Remember(folder);
    const std::string held = tree.Read(folder + "held.doc");
    const std::string read = tree.Read(folder + "read.doc");
    LockHolder writer(tree.Path(folder + "held.doc"), LockHolder::Hold::readWrite);
    LockHolder reader(tree.Path(folder + "read.doc"), LockHolder::Hold::reading);
    ASSERT_TRUE(writer.Holding() && reader.Holding());

    ProcessResult estimate = RunCli({"--estimate", "--list", tree.Path(folder)});
    ProcessResult result = RunCli({"--list", tree.Path(folder)});
    EXPECT_EQ(0, estimate.exitCode) << estimate.out << estimate.err;
    EXPECT_EQ(0, result.exitCode) << result.out << result.err;
    for (const std::string &out : {estimate.out, result.out})
      EXPECT_NE(std::string::npos, LineOf(out, "held.doc").find(LeaseReason::kOpenInAnotherProgram))
          << out;
    EXPECT_NE(std::string::npos, LineOf(result.out, "read.doc").find("replaced")) << result.out;
    EXPECT_EQ(CountersOf(estimate.out), CountersOf(result.out));
    EXPECT_TRUE(std::regex_search(CountersOf(result.out), std::regex("Compressed files: +2\n")))
        << result.out;
    const std::string json = RunCli({"--estimate", "--json", tree.Path(folder)}).out;
    EXPECT_NE(std::string::npos,
              json.find(std::string("\"reason\":\"") + LeaseReason::kOpenInAnotherProgram))
        << json;
    EXPECT_EQ(2, ExpectNothingLost(tree.Path(folder), before, originals));

    EXPECT_EQ(read, reader.Release()) << "the reader did not read the old bytes whole";
    writer.Release();
    EXPECT_EQ(WithLateWrite(held), tree.Read(folder + "held.doc"))
        << "the other program's write was lost";
    EXPECT_TRUE(tree.TempFiles().empty());
  }
}

// The File line names only documents that are counted as such: one held
// open for writing by another program, or beside an office program's owner
// file, is passed over before it is shown, like a file that is no document.
TEST_F(FaultsTest, FileLineNeverNamesADocumentHeldOpenElsewhere) {
  tree.WriteDocument("h/held.doc", 106);
  tree.WriteDocument("h/edited.doc", 107);
  tree.Write("h/~$edited.doc", "owner\n");
  tree.WriteDocument("h/free.doc", 108);
  LockHolder holder(tree.Path("h/held.doc"), LockHolder::Hold::readWrite);
  ASSERT_TRUE(holder.Holding());
  workers = 1;
  EXPECT_EQ("complete", RunEngine("h/"));
  holder.Release();
  EXPECT_EQ(LeaseReason::kOpenInAnotherProgram, view.ReportFor("h/held.doc").reason);
  EXPECT_EQ(LeaseReason::kOpenInOfficeProgram, view.ReportFor("h/edited.doc").reason);
  std::vector<std::string> shown = view.Lines("fileText ");
  EXPECT_TRUE(std::none_of(shown.begin(), shown.end(), [](const std::string &line) {
    return line == "fileText held.doc" || line == "fileText edited.doc";
  })) << "the File line named a document that is not counted as one";
  EXPECT_TRUE(std::any_of(shown.begin(), shown.end(),
                          [](const std::string &line) { return line == "fileText free.doc"; }));
  EXPECT_EQ("1", view.counters["documentFiles"]);
}

// A program opens a document for writing while it is being copied. Its open
// waits for the run's lease; the run stops the copy, removes it and lets the
// program go on at once, and the program's write is in the document.
TEST_F(FaultsTest, DocumentOpenedForWritingDuringTheCopyIsPassedOverAndKeepsTheWrite) {
  for (const std::string &folder : LeaseFolders("w/")) {
    SCOPED_TRACE(folder);
    tree.WriteDocument(folder + "opened.doc", 90);
    tree.WriteDocument(folder + "other.doc", 91);
    const std::string opened = tree.Read(folder + "opened.doc");
    std::unique_ptr<LockHolder> opener;
    std::mutex hookMutex; // the workers copy opened.doc and other.doc side by side
    SetLeaseCheckpointHook([&](const char *path, LeaseCheckpoint where) {
      std::lock_guard lock(hookMutex);
      if (opener || where != LeaseCheckpoint::copying || !std::strstr(path, "opened.doc"))
        return;
      opener = std::make_unique<LockHolder>(tree.Path(folder + "opened.doc"),
                                            LockHolder::Hold::openForWriting);
      EXPECT_TRUE(WaitForLeaseBreak()) << "the program's open did not wait for the lease";
    });
    EXPECT_EQ("complete", RunEngine(folder));
    SetLeaseCheckpointHook(nullptr);
    ASSERT_TRUE(opener);
    EXPECT_TRUE(opener->WaitForWrite(10000)) << "the other program was kept waiting";
    opener->Release();
    const DocumentReport &report = view.ReportFor(folder + "opened.doc");
    EXPECT_EQ(DocumentOutcome::passedOver, report.outcome);
    EXPECT_EQ(LeaseReason::kOpenInAnotherProgram, report.reason);
    EXPECT_EQ(DocumentOutcome::replaced, view.ReportFor(folder + "other.doc").outcome);
    EXPECT_EQ(WithLateWrite(opened), tree.Read(folder + "opened.doc"))
        << "the other program's write was lost";
    EXPECT_TRUE(tree.TempFiles().empty());
  }
}

// A program looks the document up just before the copy takes its place and
// opens it for writing just after: it opens the old file. The run sees the
// lease break, swaps the names back, and the program's write lands in the
// document, under its name.
TEST_F(FaultsTest, DocumentOpenedAtTheExchangeIsSwappedBack) {
  for (const std::string &folder : LeaseFolders("x/")) {
    SCOPED_TRACE(folder);
    tree.WriteDocument(folder + "swapped.doc", 92);
    const std::string original = tree.Read(folder + "swapped.doc");
    std::unique_ptr<LockHolder> opener;
    SetLeaseCheckpointHook([&](const char *, LeaseCheckpoint where) {
      if (opener || where != LeaseCheckpoint::exchanged)
        return;
      // The old file now has the copy's temporary name; open it there, as a
      // program that looked the document up a moment earlier does.
      const std::vector<std::string> temps = tree.TempFiles();
      ASSERT_EQ(1u, temps.size());
      opener = std::make_unique<LockHolder>(tree.Path(temps[0]), LockHolder::Hold::openForWriting);
      EXPECT_TRUE(WaitForLeaseBreak()) << "the program's open did not wait for the lease";
    });
    EXPECT_EQ("complete", RunEngine(folder));
    SetLeaseCheckpointHook(nullptr);
    ASSERT_TRUE(opener) << "the file system cannot exchange names";
    EXPECT_TRUE(opener->WaitForWrite(10000)) << "the other program was kept waiting";
    opener->Release();
    EXPECT_EQ(LeaseReason::kOpenInAnotherProgram, view.ReportFor(folder + "swapped.doc").reason);
    EXPECT_EQ(WithLateWrite(original), tree.Read(folder + "swapped.doc"))
        << "the other program's write was lost";
    EXPECT_TRUE(tree.TempFiles().empty());
  }
}

// The copy took the document's place, and the next step fails: the folder
// turns read-only right after the exchange, so the old file cannot be
// removed. The document is reported as replaced, with the error, and
// counted as compressed; the old file stays under the temporary name.
TEST_F(FaultsTest, FailureAfterTheExchangeIsReportedAsReplaced) {
  tree.WriteDocument("e/done.doc", 109);
  const std::string original = tree.Read("e/done.doc");
  const std::string listing = OleListing(tree.Path("e/done.doc"));
  if (!tree.BindMount("e"))
    GTEST_SKIP() << "cannot bind-mount here (needs CAP_SYS_ADMIN)";
  bool readOnly = false;
  SetLeaseCheckpointHook([&](const char *, LeaseCheckpoint where) {
    if (where == LeaseCheckpoint::exchanged && !readOnly)
      readOnly = tree.RemountReadOnly("e");
  });
  EXPECT_NE("complete", RunEngine("e/"));
  SetLeaseCheckpointHook(nullptr);
  ASSERT_TRUE(readOnly) << "the file system cannot exchange names";
  const DocumentReport &report = view.ReportFor("e/done.doc");
  EXPECT_EQ(DocumentOutcome::replacedThenEndedRun, report.outcome);
  EXPECT_NE(std::string::npos, report.reason.find("vkr")) << report.reason;
  EXPECT_EQ("1", view.counters["compressedFiles"]);
  EXPECT_LT(report.sizeAfter, report.sizeBefore);
  EXPECT_EQ(listing, OleListing(tree.Path("e/done.doc")));
  const std::vector<std::string> left = TempsIn("e/");
  ASSERT_EQ(1u, left.size());
  EXPECT_EQ(original, tree.Read(left[0])) << "the old file is not the one left";
}

// A run killed right after the copy and the document traded names leaves the
// document's old file under the copy's name. It carries no copy's mark, so
// the next compressing run keeps it and names it as a leftover to look at,
// in the listing and in the JSON report.
TEST_F(FaultsTest, OldFileLeftByAKillAfterTheExchangeIsKeptAndNamed) {
  for (const std::string &folder : LeaseFolders("k/")) {
    SCOPED_TRACE(folder);
    tree.WriteDocument(folder + "killed.doc", 93);
    const std::string original = tree.Read(folder + "killed.doc");
    usleep(20000); // the old file's change time is older than the next run
    workers = 1;
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
      SetLeaseCheckpointHook([](const char *, LeaseCheckpoint where) {
        if (where == LeaseCheckpoint::exchanged)
          raise(SIGKILL);
      });
      RunEngine(folder);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (!WIFSIGNALED(status)) {
      EXPECT_TRUE(tree.TempFiles().empty());
      continue; // this file system cannot exchange names: nothing was left
    }
    const std::vector<std::string> left = TempsIn(folder);
    ASSERT_EQ(1u, left.size());
    EXPECT_EQ(original, tree.Read(left[0])) << "the old file is the document's";
    const std::string compacted = tree.Read(folder + "killed.doc");
    EXPECT_LT(compacted.size(), original.size());

    usleep(20000);
    const ProcessResult listed = RunCli({"--list", tree.Path(folder)});
    EXPECT_EQ(0, listed.exitCode) << listed.err;
    EXPECT_EQ(original, tree.Read(left[0])) << "the next run removed the old file";
    EXPECT_NE(listed.out.find(tree.Path(left[0]) + ": leftover, kept:"), std::string::npos)
        << listed.out;
    const ProcessResult reported = RunCli({"--json", tree.Path(folder)});
    EXPECT_NE(reported.out.find("\"leftovers\":[{\"path\":\"" + tree.Path(left[0]) + "\""),
              std::string::npos)
        << reported.out;
    EXPECT_EQ(original, tree.Read(left[0]));
    EXPECT_EQ(compacted, tree.Read(folder + "killed.doc"));
    fsys::remove(tree.Path(left[0]));
  }
}

// Where no lease can be had (here: a user who does not own the documents),
// the locks still keep a document out, and so do the owner files office
// programs leave beside a document they have open: Word's, whose name drops
// the first characters of a long name, Excel's and LibreOffice's. A stale
// owner file of another name changes nothing. Estimate and compress alike.
TEST_F(FaultsTest, WithoutLeasesLocksAndOfficeOwnerFilesStillKeepDocumentsOut) {
  if (access("/usr/bin/setpriv", X_OK) != 0)
    GTEST_SKIP() << "setpriv is not installed";
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to prepare files owned by another user";
  const std::vector<std::pair<std::string, std::string>> owned = {
      {"Document1.doc", "~$cument1.doc"}, // Word: 8 or more characters lose two
      {"Reports.doc", "~$eports.doc"},    // Word: 7 characters lose one
      {"\xC3\x9C"
       "berblick.doc",
       "~$erblick.doc"},                          // characters, not bytes
      {"memo.doc", "~$memo.doc"},                 // Word: short names stay whole
      {"LongWorkbook.xls", "~$LongWorkbook.xls"}, // Excel: always whole
      {"calc.xls", ".~lock.calc.xls#"},           // LibreOffice
  };
  unsigned seed = 93;
  for (const auto &[name, ownerFile] : owned) {
    tree.WriteDocument("n/" + name, seed++);
    tree.Write("n/" + ownerFile, "owner\n");
  }
  tree.WriteDocument("n/plain.doc", seed++);
  tree.Write("n/~$someone.doc", "stale\n");
  tree.WriteDocument("n/locked.doc", seed++);
  chmod(tree.Root().c_str(), 0755);
  chmod(tree.Path("n").c_str(), 0755);
  ASSERT_EQ(0, chown(tree.Path("n").c_str(), 65534, 65534));
  const Snapshot before = Take(tree.Path("n"));
  LockHolder lock(tree.Path("n/locked.doc"), false);
  ASSERT_TRUE(lock.Holding());
  for (bool estimate : {true, false}) {
    std::vector<std::string> command = {
        "/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--",
        CliProgram(),       "--list",        tree.Path("n")};
    if (estimate)
      command.push_back("--estimate");
    ProcessResult result = CliProcess(command).Finish();
    EXPECT_EQ(0, result.exitCode) << result.out << result.err;
    for (const auto &[name, ownerFile] : owned)
      EXPECT_NE(std::string::npos, LineOf(result.out, name).find(LeaseReason::kOpenInOfficeProgram))
          << name << " beside " << ownerFile << ":\n"
          << result.out;
    EXPECT_NE(std::string::npos, LineOf(result.out, "locked.doc").find("in use by another program"))
        << result.out;
    const std::string plain = LineOf(result.out, "plain.doc");
    EXPECT_EQ(std::string::npos, plain.find(LeaseReason::kOpenInOfficeProgram)) << plain;
    if (estimate) {
      EXPECT_NE(std::string::npos, plain.find("would shrink")) << plain;
    }
  }
  ProcessResult json =
      CliProcess({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--",
                  CliProgram(), "--json", "--estimate", tree.Path("n")})
          .Finish();
  EXPECT_NE(std::string::npos,
            json.out.find(std::string("\"reason\":\"") + LeaseReason::kOpenInOfficeProgram))
      << json.out;
  // Nobody may give a copy the owner root: nothing is replaced.
  EXPECT_EQ(0, ExpectNothingLost(tree.Path("n/"), before, {}));
  EXPECT_TRUE(tree.TempFiles().empty());
}

// ---------------------------------------------------------------------------
// Races with other programs

// Between the scan and the compaction other programs replace one document
// with plain text, delete another, put a folder in the place of a third and
// a link to a document outside the tree in the place of a fourth. Each is
// passed over; the outside document is not touched; the rest compact.
TEST_F(FaultsTest, DocumentsChangedBetweenScanAndCompactionArePassedOver) {
  for (const char *name : {"a.doc", "text.doc", "gone.doc", "dir.doc", "link.doc", "z.doc"})
    tree.WriteDocument(std::string("r/") + name, static_cast<unsigned>(name[0]));
  tree.WriteDocument("outside/target.doc", 74);
  const FileState target = StateOf(tree.Path("outside/target.doc"));
  view.onPhase = [&](RunPhase phase) {
    if (phase != RunPhase::compressing)
      return;
    tree.Write("r/text.doc", "now a letter in plain text\n");
    unlink(tree.Path("r/gone.doc").c_str());
    unlink(tree.Path("r/dir.doc").c_str());
    mkdir(tree.Path("r/dir.doc").c_str(), 0755);
    unlink(tree.Path("r/link.doc").c_str());
    ASSERT_EQ(0, symlink(tree.Path("outside/target.doc").c_str(), tree.Path("r/link.doc").c_str()));
  };
  EXPECT_EQ("complete", RunEngine("r/"));
  EXPECT_EQ(DocumentOutcome::replaced, view.ReportFor("r/a.doc").outcome);
  EXPECT_EQ(DocumentOutcome::replaced, view.ReportFor("r/z.doc").outcome);
  for (const char *name : {"text.doc", "gone.doc", "dir.doc", "link.doc"})
    EXPECT_EQ(DocumentOutcome::passedOver, view.ReportFor(std::string("r/") + name).outcome)
        << name;
  EXPECT_EQ("now a letter in plain text\n", tree.Read("r/text.doc"));
  const FileState after = StateOf(tree.Path("outside/target.doc"));
  EXPECT_EQ(target.inode, after.inode);
  EXPECT_EQ(target.contentHash, after.contentHash);
  EXPECT_TRUE(tree.TempFiles().empty());
}

// Another program saves a document while the run has it in hand: once by
// writing a new file and renaming it over the document (a "safe save")
// during the copy, once by rewriting it in place, same size, without a lock,
// right before the run opens it. Both saves survive; the documents are
// passed over as changed.
TEST_F(FaultsTest, SaveByAnotherProgramDuringTheCopyIsNeverLost) {
  tree.WriteDocument("s/renamed.doc", 75);
  tree.WriteDocument("s/rewritten.doc", 76);
  tree.WriteDocument("spare/new.doc", 77, 0);
  const std::string saved = tree.Read("spare/new.doc");
  std::string rewritten = tree.Read("s/rewritten.doc");
  rewritten[rewritten.size() / 2] ^= 0x5A;
  bool renamed = false, rewrote = false;
  workers = 1; // the hook keeps its flags unlocked
  SetLeaseCheckpointHook([&](const char *path, LeaseCheckpoint where) {
    if (where == LeaseCheckpoint::copying && !renamed && std::strstr(path, "renamed.doc")) {
      renamed = true;
      SaveByRenaming(tree, "s/renamed.doc", saved);
    }
    if (where == LeaseCheckpoint::opening && !rewrote && std::strstr(path, "rewritten.doc")) {
      rewrote = true;
      int fd = open(tree.Path("s/rewritten.doc").c_str(), O_WRONLY);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(static_cast<ssize_t>(rewritten.size()),
                write(fd, rewritten.data(), rewritten.size()));
      close(fd);
    }
  });
  EXPECT_EQ("complete", RunEngine("s/"));
  SetLeaseCheckpointHook(nullptr);
  EXPECT_EQ(saved, tree.Read("s/renamed.doc")) << "the other program's save was lost";
  EXPECT_EQ(rewritten, tree.Read("s/rewritten.doc")) << "the other program's save was lost";
  for (const char *name : {"renamed.doc", "rewritten.doc"}) {
    const DocumentReport &report = view.ReportFor(std::string("s/") + name);
    EXPECT_EQ(DocumentOutcome::passedOver, report.outcome) << name;
    EXPECT_NE(std::string::npos, report.reason.find("changed")) << report.reason;
  }
  EXPECT_TRUE(tree.TempFiles().empty());
}

// Another program truncates and rewrites the document, shorter, while it is
// being copied. Its open waits for the run's lease: the run stops the copy
// at once and passes the document over, and the other program's version
// stays.
TEST_F(FaultsTest, DocumentShrinkingDuringTheCopyIsPassedOverAndKeepsTheSave) {
  tree.WriteDocument("t/shrinks.doc", 78, 40);
  tree.WriteDocument("spare/new.doc", 79, 0);
  const std::string saved = tree.Read("spare/new.doc");
  std::thread saver;
  SetLeaseCheckpointHook([&](const char *path, LeaseCheckpoint where) {
    if (where != LeaseCheckpoint::copying || saver.joinable() || !std::strstr(path, "shrinks.doc"))
      return;
    saver = std::thread([&] {
      int fd = open(tree.Path("t/shrinks.doc").c_str(), O_WRONLY | O_TRUNC);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(static_cast<ssize_t>(saved.size()), write(fd, saved.data(), saved.size()));
      close(fd);
    });
    EXPECT_TRUE(WaitForLeaseBreak()) << "the program's open did not wait for the lease";
  });
  workers = 1;
  EXPECT_EQ("complete", RunEngine("t/"));
  SetLeaseCheckpointHook(nullptr);
  ASSERT_TRUE(saver.joinable());
  saver.join();
  EXPECT_EQ(LeaseReason::kOpenInAnotherProgram, view.ReportFor("t/shrinks.doc").reason);
  EXPECT_EQ(saved, tree.Read("t/shrinks.doc"));
  EXPECT_TRUE(tree.TempFiles().empty());
}

// Folders removed after the scan: their documents are passed over, the
// others compact, and the run completes.
TEST_F(FaultsTest, FoldersRemovedDuringTheRunArePassedOver) {
  tree.WriteDocument("f/keep/a.doc", 80);
  tree.WriteDocument("f/removed/b.doc", 81);
  tree.WriteDocument("f/removed/deeper/c.doc", 82);
  tree.WriteDocument("f/z/d.doc", 83);
  view.onPhase = [&](RunPhase phase) {
    if (phase == RunPhase::compressing)
      fsys::remove_all(tree.Path("f/removed"));
  };
  EXPECT_EQ("complete", RunEngine("f/"));
  EXPECT_EQ(DocumentOutcome::replaced, view.ReportFor("keep/a.doc").outcome);
  EXPECT_EQ(DocumentOutcome::replaced, view.ReportFor("z/d.doc").outcome);
  for (const char *name : {"removed/b.doc", "removed/deeper/c.doc"})
    EXPECT_EQ(DocumentOutcome::passedOver, view.ReportFor(name).outcome) << name;
  EXPECT_TRUE(tree.TempFiles().empty());
}

// A folder swapped for a link to a folder outside the tree between the scan
// and the compaction: the walk never follows links, so neither may the
// compaction: the path now leads to another file than the scan found.
TEST_F(FaultsTest, FolderSwappedForALinkIsNotFollowed) {
  tree.WriteDocument("g/keep/a.doc", 84);
  tree.WriteDocument("g/swapped/d.doc", 85);
  tree.WriteDocument("elsewhere/d.doc", 86);
  const FileState outside = StateOf(tree.Path("elsewhere/d.doc"));
  view.onPhase = [&](RunPhase phase) {
    if (phase != RunPhase::compressing)
      return;
    fsys::remove_all(tree.Path("g/swapped"));
    ASSERT_EQ(0, symlink(tree.Path("elsewhere").c_str(), tree.Path("g/swapped").c_str()));
  };
  EXPECT_EQ("complete", RunEngine("g/"));
  EXPECT_EQ(DocumentOutcome::replaced, view.ReportFor("keep/a.doc").outcome);
  EXPECT_EQ(DocumentOutcome::passedOver, view.ReportFor("swapped/d.doc").outcome);
  const FileState after = StateOf(tree.Path("elsewhere/d.doc"));
  EXPECT_EQ(outside.inode, after.inode)
      << "a document outside the tree was replaced through a link";
  EXPECT_EQ(outside.contentHash, after.contentHash);
  EXPECT_TRUE(tree.TempFiles().empty());
}

// ---------------------------------------------------------------------------
// A live file server: saves made by renaming, links, waiting programs

// A save renamed over the document after the run's last look at it and
// before the copy takes its place: the save keeps the document's name, the
// copy is removed, and the document is passed over as changed.
TEST_F(FaultsTest, SaveRenamedOverTheDocumentAfterTheLastCheckIsKept) {
  for (const std::string &folder : LeaseFolders("k/")) {
    SCOPED_TRACE(folder);
    tree.WriteDocument(folder + "saved.doc", 101);
    tree.WriteDocument("spare/k.doc", 102, 0);
    const std::string save = tree.Read("spare/k.doc");
    bool saved = false;
    SetLeaseCheckpointHook([&](const char *, LeaseCheckpoint where) {
      if (saved || where != LeaseCheckpoint::checked)
        return;
      saved = true;
      SaveByRenaming(tree, folder + "saved.doc", save);
    });
    EXPECT_EQ("complete", RunEngine(folder));
    SetLeaseCheckpointHook(nullptr);
    ASSERT_TRUE(saved);
    EXPECT_EQ(save, tree.Read(folder + "saved.doc")) << "the other program's save was lost";
    const DocumentReport &report = view.ReportFor(folder + "saved.doc");
    EXPECT_EQ(DocumentOutcome::passedOver, report.outcome);
    EXPECT_NE(std::string::npos, report.reason.find("changed")) << report.reason;
    EXPECT_TRUE(TempsIn(folder).empty());
  }
}

// A user who may rename entries in a folder swaps a document for a link to
// another user's compound file just before the run opens it: the run never
// reads the link's target, and nothing in the tree takes its content.
TEST_F(FaultsTest, DocumentSwappedForALinkAtTheOpenIsNeverFollowed) {
  tree.WriteDocument("l/mine.doc", 103);
  tree.WriteDocument("secret/theirs.doc", 104);
  const FileState secret = StateOf(tree.Path("secret/theirs.doc"));
  bool swapped = false;
  bool copiedTheTarget = false;
  SetLeaseCheckpointHook([&](const char *path, LeaseCheckpoint where) {
    if (!std::strstr(path, "mine.doc"))
      return;
    if (where == LeaseCheckpoint::opening && !swapped) {
      swapped = true;
      ASSERT_EQ(0, rename(tree.Path("l/mine.doc").c_str(), tree.Path("l/mine.kept").c_str()));
      ASSERT_EQ(0,
                symlink(tree.Path("secret/theirs.doc").c_str(), tree.Path("l/mine.doc").c_str()));
    } else if (where == LeaseCheckpoint::copying) {
      copiedTheTarget = true;
    }
  });
  EXPECT_EQ("complete", RunEngine("l/"));
  SetLeaseCheckpointHook(nullptr);
  ASSERT_TRUE(swapped);
  EXPECT_FALSE(copiedTheTarget) << "the run read a file through a link";
  EXPECT_EQ(DocumentOutcome::passedOver, view.ReportFor("l/mine.doc").outcome);
  EXPECT_TRUE(fsys::is_symlink(tree.Path("l/mine.doc")));
  const FileState after = StateOf(tree.Path("secret/theirs.doc"));
  EXPECT_EQ(secret.inode, after.inode);
  EXPECT_EQ(secret.contentHash, after.contentHash);
  EXPECT_TRUE(tree.TempFiles().empty());
}

// Where the kernel copies a document's streams (tmpfs, btrfs), the lease is
// looked at after every megabyte it copies and every megabyte the check
// compares, so that a program that opens the document for writing in the
// middle waits a moment, not for the rest of the copy and its check.
TEST_F(FaultsTest, KernelCopyAndCheckLookAtTheLeaseEveryMegabyte) {
  constexpr int kMegabytes = 8;
  std::vector<std::string> folders;
  if (tree.MountTmpfs("tmpfs", 4 * kMegabytes * 1024))
    folders.push_back("tmpfs/");
  if (tree.MountImage("btrfs", "btrfs", 256))
    folders.push_back("btrfs/");
  if (folders.empty())
    GTEST_SKIP() << "cannot mount a tmpfs or btrfs here";
  for (const std::string &folder : folders) {
    SCOPED_TRACE(folder);
    CfbBuilder builder;
    builder.AddStream("WordDocument", PatternBytes(kMegabytes << 20, 105))
        .AddStream("1Table", PatternBytes(4000, 106))
        .SetFreeSectorsAtEnd(64);
    builder.WriteTo(tree.Path(folder + "large.doc"));
    builder.WriteTo(tree.Path(folder + "opened.doc"));
    const std::string original = tree.Read(folder + "opened.doc");
    int looks = 0;
    std::unique_ptr<LockHolder> opener;
    SetLeaseCheckpointHook([&](const char *path, LeaseCheckpoint where) {
      if (where != LeaseCheckpoint::copying)
        return;
      if (std::strstr(path, "large.doc"))
        ++looks;
      if (std::strstr(path, "opened.doc") && !opener) {
        opener = std::make_unique<LockHolder>(tree.Path(folder + "opened.doc"),
                                              LockHolder::Hold::openForWriting);
        EXPECT_TRUE(WaitForLeaseBreak()) << "the program's open did not wait for the lease";
      }
    });
    workers = 1;
    EXPECT_EQ("complete", RunEngine(folder));
    SetLeaseCheckpointHook(nullptr);
    EXPECT_GE(looks, 2 * kMegabytes) << "the copy and its check went on unlooked-at";
    EXPECT_EQ(DocumentOutcome::replaced, view.ReportFor(folder + "large.doc").outcome);
    ASSERT_TRUE(opener);
    EXPECT_TRUE(opener->WaitForWrite(2000)) << "the other program was kept waiting";
    opener->Release();
    EXPECT_EQ(WithLateWrite(original), tree.Read(folder + "opened.doc"));
    EXPECT_TRUE(TempsIn(folder).empty());
  }
}

/// How many runs the renaming saver goes through: a few in the suite, more
/// in the soak test, which sets VELKOR_SAVER_RUNS.
int SaverRuns() {
  const char *runs = std::getenv("VELKOR_SAVER_RUNS");
  return runs != nullptr ? std::atoi(runs) : 12;
}

// A program saves a document by renaming a new file over it, again and
// again, while compressing runs go over its folder, serially and with
// workers. After each run the document holds the program's last save, byte
// for byte or as a smaller copy that olefile reads as the same tree.
TEST_F(FaultsTest, RenamingSaverNeverLosesItsLastSave) {
  constexpr unsigned kVersions = 6;
  std::vector<std::string> versions, listings;
  for (unsigned v = 0; v < kVersions; ++v) {
    tree.WriteDocument("versions/" + std::to_string(v) + ".doc", 110 + v);
    versions.push_back(tree.Read("versions/" + std::to_string(v) + ".doc"));
    listings.push_back(OleListing(tree.Path("versions/" + std::to_string(v) + ".doc")));
  }
  for (int n = 0; n < 3; ++n)
    tree.WriteDocument("live/other" + std::to_string(n) + ".doc", 120 + n);
  const int runs = SaverRuns();
  int replaced = 0;
  for (int run = 0; run < runs; ++run) {
    workers = run % 2 == 0 ? 1 : 4;
    SCOPED_TRACE("run " + std::to_string(run) + ", workers " + std::to_string(workers));
    std::mutex mutex;
    std::condition_variable stop;
    bool saving = true;
    std::atomic<unsigned> last{0};
    SaveByRenaming(tree, "live/doc.doc", versions[0]);
    std::thread saver([&] {
      // Saves come at uneven times, from a millisecond to a fifth of a second
      // apart, so that most runs replace the document between two saves,
      // also in a slow build, and some saves land in the middle of one.
      for (unsigned v = 1;; ++v) {
        const auto pause = std::chrono::milliseconds(1 + (v * 7919 + run * 104729) % 200);
        std::unique_lock lock(mutex);
        if (stop.wait_for(lock, pause, [&] { return !saving; }))
          return;
        SaveByRenaming(tree, "live/doc.doc", versions[v % kVersions]);
        last = v % kVersions;
      }
    });
    const std::string ending = RunEngine("live/");
    {
      std::lock_guard lock(mutex);
      saving = false;
    }
    stop.notify_one();
    saver.join();
    EXPECT_EQ("complete", ending);
    const std::string now = tree.Read("live/doc.doc");
    if (now != versions[last]) {
      EXPECT_LT(now.size(), versions[last].size()) << "the last save was lost";
      EXPECT_EQ(listings[last], OleListing(tree.Path("live/doc.doc"))) << "the last save was lost";
    }
    EXPECT_TRUE(TempsIn("live/").empty());
    for (const DocumentReport &report : view.reports)
      if (report.path.find("live/doc.doc") != std::string::npos &&
          report.outcome == DocumentOutcome::replaced)
        ++replaced;

    view = RecordingView();
  }
  // The saves are spaced so that the document often lasts from the scan to
  // its replacement, where the race is.
  EXPECT_GT(replaced, 0) << "no run replaced the document: the race was never run";
}

// The order a power cut needs, read from the system calls of a compressing
// run: the copy's data, times and attributes are flushed before the names
// trade places, the folder is flushed after that, and only then is the old
// file removed.
TEST_F(FaultsTest, ReplacementFlushesInTheOrderAPowerCutNeeds) {
  if (access("/usr/bin/strace", X_OK) != 0)
    GTEST_SKIP() << "strace is not installed";
  tree.WriteDocument("p/a.doc", 130);
  const std::string trace = tree.Path("trace.txt");
  ProcessResult result = CliProcess({"/usr/bin/strace", "-f", "-y", "-o", trace, "-e",
                                     "trace=fsync,fdatasync,rename,renameat,renameat2,unlink,"
                                     "unlinkat,utimensat,chmod,fchmod,fchmodat,chown,fchown,"
                                     "lchown,fchownat,setxattr,lsetxattr,fsetxattr,removexattr,"
                                     "lremovexattr,fremovexattr",
                                     CliProgram(), "--jobs", "2", tree.Path("p")})
                             .Finish();
  ASSERT_EQ(0, result.exitCode) << result.out << result.err;
  std::vector<std::string> lines;
  {
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);)
      if (line.find(" = 0") != std::string::npos || line.find("resumed>") != std::string::npos)
        lines.push_back(line);
  }
  const auto first = [&](const std::function<bool(const std::string &)> &matches) {
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (matches(lines[i]))
        return static_cast<long>(i);
    return -1L;
  };
  const auto last = [&](const std::function<bool(const std::string &)> &matches) {
    for (std::size_t i = lines.size(); i-- > 0;)
      if (matches(lines[i]))
        return static_cast<long>(i);
    return -1L;
  };
  const auto has = [](const std::string &line, const char *text) {
    return line.find(text) != std::string::npos;
  };
  const long exchange = first([&](const std::string &l) { return has(l, "RENAME_EXCHANGE"); });
  ASSERT_GE(exchange, 0) << "no exchange of names in the trace";
  const long stamped = last([&](const std::string &l) {
    return has(l, "vkr") && !has(l, "fsync") && !has(l, "rename") && !has(l, "unlink");
  });
  const long copyFlushed = last([&](const std::string &l) {
    return has(l, "fsync(") && has(l, "vkr") && !has(l, "resumed");
  });
  const std::string folder = tree.Path("p") + ">";
  const long folderFlushed =
      last([&](const std::string &l) { return has(l, "fsync(") && has(l, folder.c_str()); });
  const long removed =
      last([&](const std::string &l) { return has(l, "unlink") && has(l, "vkr"); });
  ASSERT_GE(stamped, 0);
  ASSERT_GE(copyFlushed, 0);
  EXPECT_LT(stamped, copyFlushed) << "times or attributes changed after the copy's flush";
  EXPECT_LT(copyFlushed, exchange) << "the names traded places before the copy was on disk";
  EXPECT_GT(folderFlushed, exchange) << "the folder was not flushed after the exchange";
  EXPECT_GT(removed, folderFlushed) << "the old file was removed before the folder was flushed";
}

// A later run over documents that are already as small as they can be, and
// any estimate, read only the documents' tables: they write no copy, flush
// nothing and copy no stream. Counted from the system calls of the runs.
TEST_F(FaultsTest, RunsThatCannotShrinkAnythingWriteAndFlushNothing) {
  if (access("/usr/bin/strace", X_OK) != 0)
    GTEST_SKIP() << "strace is not installed";
  for (int n = 0; n < 6; ++n)
    tree.WriteDocument("n/d" + std::to_string(n) + ".doc", 150 + n);
  ASSERT_EQ(0, RunCli({tree.Path("n")}).exitCode); // the first night compacts them
  for (const bool estimate : {false, true}) {
    SCOPED_TRACE(estimate ? "estimate" : "second compressing run");
    if (estimate)
      for (int n = 0; n < 3; ++n)
        tree.WriteDocument("n/e" + std::to_string(n) + ".doc", 160 + n); // these would shrink
    const std::string trace = tree.Path(estimate ? "estimate.txt" : "second.txt");
    std::vector<std::string> command = {
        "/usr/bin/strace",
        "-f",
        "-y",
        "-o",
        trace,
        "-e",
        "trace=write,pwrite64,writev,fsync,fdatasync,sync_file_range,copy_file_range",
        CliProgram(),
        "--jobs",
        "2",
        "--list",
        tree.Path("n")};
    if (estimate)
      command.push_back("--estimate");
    ProcessResult result = CliProcess(command).Finish();
    ASSERT_EQ(0, result.exitCode) << result.out << result.err;
    EXPECT_EQ(std::string::npos, result.out.find("replaced")) << result.out;
    std::ifstream in(trace);
    int intoFiles = 0;
    std::string example;
    for (std::string line; std::getline(in, line);) {
      // Only what goes into the tree counts: the listing goes to a pipe, and
      // a sanitizer's runtime may write files of its own.
      if (line.find("<" + tree.Path("n/")) != std::string::npos &&
          line.find("resumed>") == std::string::npos) {
        ++intoFiles;
        example = line;
      }
    }
    EXPECT_EQ(0, intoFiles) << "for example: " << example;
  }
  EXPECT_TRUE(tree.TempFiles().empty());
}

} // namespace
