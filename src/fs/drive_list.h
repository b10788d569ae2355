//===- fs/drive_list.h - The drive roots of this machine -----------------===//
///
/// \file
/// The drive list as the desktop's browser asks for it: the roots and the
/// drive type of one root, each from a fresh reading of this machine's
/// mount table (TTMountTable, which holds the rules).
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/lists.h"
#include "core/byte_string.h"
#include "fs/mount_table.h"

#include <cstdint>

/// Empties `list` and fills it with the drive roots of this machine.
/// Throws TTFileException when the mount table cannot be read.
void ListLogicalDrives(TTStringList &list);

/// The drive type of `root` on this machine.
std::uint32_t GetDriveType(const TTString &root);
