//===- engine/worker_count.h - How many documents a run works on at once --===//
///
/// \file
/// A compressing run spends most of its time waiting for each copy to reach
/// the disk; an estimate spends it reading and copying. Several workers let
/// those waits overlap: while one copy's flush is waited for, the next
/// document is read and written. How many pay depends on the drive:
///   - a spinning disk: 8 workers compress (the journal takes their flushes
///     in one commit, and the elevator orders their reads; now that a
///     document that cannot shrink is only measured, 8 beat 4 on mixed
///     archives), 2 estimate (more would make the heads seek between
///     documents read side by side);
///   - a solid-state disk, or a drive of unknown kind: twice the cores,
///     4 to 16, compress (the workers mostly wait); one a core estimate;
///   - a network file system: four times the cores, 8 to 16, compress, and
///     twice the cores, 4 to 16, estimate: every call waits on the network;
///   - a RAM disk: one worker a core, since nothing is waited for.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "fs/drive_kind.h"

/// The most workers a run takes, asked for or chosen.
inline constexpr int kMaxWorkers = 64;

/// The automatic choice for a drive of `kind` on a machine with `cores`
/// processors (at least 1): see the file comment.
int AutomaticWorkerCount(DriveKind kind, bool compress, int cores);

/// The processors this process may run on (its affinity mask), at least 1.
int AvailableCores();
