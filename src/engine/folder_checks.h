//===- engine/folder_checks.h - What the run asks about folders -----------===//
///
/// \file
/// Two questions the run asks of the file system about folders, answered by
/// each system in its own way (src/engine/unix, src/engine/windows): whether
/// the current directory is the root of a mounted tree, so that a walk from
/// it stays there, and which folder a path names, so that a folder reached
/// twice is swept once.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"

#include <cstdint>

/// True when the current directory is the root of a mount: on Linux its
/// parent lies in another mount, or it is its own parent ("/") (a btrfs
/// subvolume is not one unless it is mounted on its own); on Windows it is
/// the root of its volume ("C:\", a share, or a folder a volume is mounted
/// on).
bool CurrentDirectoryIsMountRoot();

/// The device and inode of the folder `directory` (empty: the current
/// directory): on Windows the volume's serial number and the folder's file
/// index. False when it cannot be looked at.
bool FolderKeyOf(const TTString &directory, std::uint64_t &device, std::uint64_t &inode);
