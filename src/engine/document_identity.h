//===- engine/document_identity.h - Is it still the file that was copied? -===//
///
/// \file
/// Between the copy of a document and its replacement no lock is held, so a
/// program could save the document in that window, and replacing it then
/// would lose that save. DocumentIdentity records what identifies the file
/// when it was opened (device, inode, size, modification and change times);
/// DocumentHold takes a shared lock on the document right before the rename,
/// refusing when another program holds a write lock, and checks that the
/// document is still the file that was copied. The hold lasts across the
/// rename, so programs that lock before writing are kept out until the copy
/// has taken the document's place.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <sys/types.h>

/// What identifies a document file at one moment.
struct DocumentIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  nlink_t links = 0;
  mode_t type = 0; ///< the file type bits (S_IFMT) of the entry itself
  std::uint64_t size = 0;
  timespec accessed{};
  timespec modified{};
  timespec changed{};

  bool IsRegularFile() const;
  /// Same device and inode, same size, same modification and change times.
  bool SameFile(const DocumentIdentity &other) const;
};

/// Reads the identity of `path` without following a final symbolic link.
/// Gives 0 or the errno value of the failure.
int ReadDocumentIdentity(const char *path, DocumentIdentity &identity);

/// A shared lock on a document, held from the last check to the end of its
/// replacement.
class DocumentHold {
public:
  DocumentHold() = default;
  DocumentHold(const DocumentHold &) = delete;
  DocumentHold &operator=(const DocumentHold &) = delete;
  ~DocumentHold();

  /// Opens `path`, takes shared locks (an open file description lock and a
  /// flock lock) without waiting, and compares the file with `expected`.
  /// Gives the empty text when the document may be replaced, otherwise why
  /// not ("in use by another program", "changed while it was being copied").
  std::string Acquire(const char *path, const DocumentIdentity &expected);

private:
  int descriptor = -1;
};
