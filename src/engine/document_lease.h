//===- engine/document_lease.h - Seeing other programs that open a document ===//
///
/// \file
/// Locks only keep out programs that lock, and many programs (and file
/// servers) open a document read-write without one. A read lease
/// (fcntl F_SETLEASE F_RDLCK) sees them: the kernel refuses it while any
/// process has the file open for writing, and breaks it as soon as one opens
/// the file for writing or truncates it. DocumentLease holds such a lease
/// on the descriptor the run reads a document with, from before the copy to
/// the end of the replacement.
///
/// A broken lease makes the other program's open wait until the lease is
/// given up (or until fs.lease-break-time, 45 seconds by default, has
/// passed). The run must not keep it waiting: the thread that works the
/// document asks for the lease (F_GETLEASE, one cheap system call) after
/// every megabyte of the copy, before its final flush and at each step of
/// the replacement, and on a break it stops, removes its copy and gives the
/// lease up. The
/// other program therefore waits at most for one megabyte of copying and the
/// removal of the copy. The break notice itself is a signal the kernel sends
/// to the lease holder; by default SIGIO, which would end the process. The
/// lease asks for SIGURG instead, whose default action is to be ignored,
/// so no signal handler is needed and no process-wide signal setting is
/// changed (a handler would not help either: the copy cannot be stopped from
/// inside one). This program installs no SIGURG handler of its own.
///
/// Where no lease can be had (a user who does not own the file and lacks
/// CAP_LEASE, NFS and CIFS mounts, fs.leases-enable=0), the run keeps its
/// other guards (locks, the check before the rename) and also looks for the
/// owner files office programs leave beside a document they have open
/// (OfficeOwnerFileOf).
///
/// On Windows sharing modes do a lease's work. The document is read through
/// a handle opened with FILE_SHARE_READ only: the system refuses that open
/// while any program has the document open for writing (the document is
/// then passed over as in use), and refuses every program that asks to write
/// it while the handle is open. So Take gives `held` at once and Broken is
/// never true there: nobody can open the document for writing while it is
/// read. Nothing is duplicated: once the document is closed, the hold's
/// open (DocumentHold) refuses a document that a program has opened for
/// writing since, and its identity check one that was written. The owner
/// files are looked for on both systems.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <string>

/// Why a document is passed over when another program has it open.
namespace LeaseReason {
/// Open for writing elsewhere, or opened for writing while it was in hand.
inline constexpr char kOpenInAnotherProgram[] = "open in another program";
/// An office program's owner file lies beside it (no lease could be had).
inline constexpr char kOpenInOfficeProgram[] = "open in an office program";
} // namespace LeaseReason

/// A read lease on one open document.
class DocumentLease {
public:
  enum class State {
    held,          ///< the lease is held: no other program has it open for writing
    openElsewhere, ///< refused: another process has the file open for writing
    unavailable,   ///< leases cannot be had here; see the file comment
  };

  DocumentLease() = default;
  DocumentLease(const DocumentLease &) = delete;
  DocumentLease &operator=(const DocumentLease &) = delete;
  ~DocumentLease(); ///< gives the lease up

  /// Takes a read lease through `descriptor`, a descriptor open for reading
  /// only. The lease is held on a duplicate of it (the same open file), so it
  /// outlives the closing of `descriptor`; the duplicate also keeps any lock
  /// taken through `descriptor` until Drop.
  State Take(int descriptor);

  /// Whether Take got the lease (also after it was broken).
  bool Taken() const { return handle >= 0; }
  /// True when a lease was taken and another program has since opened the
  /// document for writing or truncated it (the break may still be pending).
  bool Broken() const;
  /// Gives the lease up and closes the duplicate; the waiting program, if
  /// any, goes on. Idempotent.
  void Drop();

private:
  int handle = -1;
};

/// The name of an office program's owner file that lies beside the document
/// at `path`, or the empty text when there is none. Word and Excel create
/// "~$" followed by the document's name; Word drops the name's first
/// character when the part before the extension is 7 characters long and its
/// first two when it is 8 or more. LibreOffice creates ".~lock." followed by
/// the name and "#".
std::string OfficeOwnerFileOf(const std::string &path);
