//===- engine/directory_walker.cpp - Depth-first walk below one directory -===//

#include "engine/directory_walker.h"

#include "core/byte_string.h"
#include "fs/path_names.h"

namespace {

/// Entries the walk never yields nor enters: symbolic links, and pipes,
/// sockets and devices.
bool IsNeverWalked(const TTFindRecord &record) {
  return IsSymbolicLink(record) || IsSpecialFile(record);
}

} // namespace

TTDirectoryWalker::TTDirectoryWalker()
    : active(false), openPending(false), stayOnFileSystem(false), startMount(0) {}

TTDirectoryWalker::~TTDirectoryWalker() = default;

void TTDirectoryWalker::SetStayOnFileSystem(bool stay) { stayOnFileSystem = stay; }

bool TTDirectoryWalker::OnAllowedFileSystem(const TTFindHandle &search) {
  if (!stayOnFileSystem) {
    return true;
  }
  std::uint64_t mount = 0;
  if (!search.DirectoryMount(mount)) {
    return false;
  }
  if (searchStack.Count() == 1) {
    startMount = mount; // the listing's start: the mount it stays on
    return true;
  }
  return mount == startMount;
}

void TTDirectoryWalker::BeginWalk(const TTString &start) {
  startPath = start;
  active = true;
  openPending = true;
  searchStack.Clear();
  directoryStack.Clear();
}

bool TTDirectoryWalker::WalkStep(TTStringList &components, TTFindRecord &record) {
  if (!active) {
    return false;
  }
  for (;;) {
    bool found;
    if (openPending) {
      if (!directoryStack.IsEmpty()) {
        const TTString name = directoryStack.Back();
        EnterDirectory(name);
      }
      TTString pattern = startPath;
      pattern += JoinPathComponents(directoryStack);
      pattern += TTAllEntriesMask();
      TTFindHandle *search = new TTFindHandle;
      searchStack.Add(search);
      found = search->FindFirstEntry(pattern, record) && OnAllowedFileSystem(*search);
      openPending = false;
    } else {
      found = searchStack.Back().FindNextEntry(record);
    }
    active = found;

    if (found) {
      if (IsNeverWalked(record)) {
        continue;
      }
      bool descend = false;
      const bool accepted = Accept(record, descend);
      if (accepted) {
        // Only what is yielded is looked at in full; the rest of the walk
        // goes by the names and types the directory itself gives.
        if (!searchStack.Back().CompleteRecord(record) || IsNeverWalked(record)) {
          continue; // gone, or replaced by a link, since it was listed
        }
        for (std::int32_t i = 0; i < directoryStack.Count(); ++i) {
          components.AddCopy(directoryStack.At(i));
        }
      }
      if (IsDirectory(record) && descend) {
        directoryStack.AddCopy(record.name);
        openPending = true;
      }
      if (accepted) {
        return true;
      }
      continue;
    }

    // The level is exhausted, or its directory cannot be listed.
    if (searchStack.Count() > 1) {
      LeaveDirectory();
    }
    searchStack.DeleteLast();
    if (!directoryStack.IsEmpty()) {
      directoryStack.DeleteLast();
    }
    if (searchStack.IsEmpty()) {
      return false;
    }
  }
}
