//===- fs/drive_list.h - The drive roots of this machine -----------------===//
///
/// \file
/// The drives of this machine: their roots, in the system's order, and the
/// drive type of each. On Linux a drive is a mounted storage file system and
/// its mount point is its root (TTMountTable holds the rules); on Windows the
/// drives are the logical drives, "A:\" to "Z:\", with the types the system
/// gives them.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/lists.h"
#include "core/byte_string.h"

#include <cstdint>
#include <memory>

inline constexpr std::uint32_t DRIVE_UNKNOWN = 0;
inline constexpr std::uint32_t DRIVE_NO_ROOT_DIR = 1;
inline constexpr std::uint32_t DRIVE_REMOVABLE = 2;
inline constexpr std::uint32_t DRIVE_FIXED = 3;
inline constexpr std::uint32_t DRIVE_REMOTE = 4;
inline constexpr std::uint32_t DRIVE_CDROM = 5;
inline constexpr std::uint32_t DRIVE_RAMDISK = 6;

/// One reading of the drives of a machine.
class TTDriveTable {
public:
  virtual ~TTDriveTable() = default;

  /// The drive roots, each ending in a separator, in the system's order.
  virtual const TTStringList &Roots() const = 0;
  /// The drive type of `root` (with or without its final separator);
  /// DRIVE_NO_ROOT_DIR when it is not a drive root.
  virtual std::uint32_t DriveType(const TTString &root) const = 0;
  /// The root of another drive whose walk reaches every file of the drive
  /// `root`, so that a run over all drives walks each tree once; empty when
  /// no drive covers it.
  virtual TTString CoveringRoot(const TTString &root) const = 0;
};

/// Reads the drives of this machine. Throws TTFileException when they
/// cannot be read.
std::unique_ptr<TTDriveTable> ReadDriveTable();

/// Where ReadDriveTable reads from, to name in the report of a failure:
/// the mount table's file on Linux; empty where a system call gives the
/// drives.
TTString DriveTableSource();

/// Empties `list` and fills it with the drive roots of this machine.
/// Throws TTFileException when the drives cannot be read.
void ListLogicalDrives(TTStringList &list);

/// The drive type of `root` on this machine.
std::uint32_t GetDriveType(const TTString &root);
