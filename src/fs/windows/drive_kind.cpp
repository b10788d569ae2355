//===- fs/windows/drive_kind.cpp - What kind of drive holds a folder ------===//
//
// The drive type tells network drives and RAM disks; for a fixed drive the
// disk under the volume is asked whether it incurs a seek penalty, which
// spinning disks do and solid-state disks do not. A disk that does not
// answer (a virtual disk, one behind a controller that hides it, Wine) is
// of unknown kind.
//
//===----------------------------------------------------------------------===//

#include "fs/drive_kind.h"

#include "fs/windows/wide_name.h"

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>

using namespace velkor::windows;
#include <winioctl.h>

namespace {

/// The seek penalty of the disk under the volume `volumeRoot` ("C:\").
DriveKind SeekPenaltyKind(const std::wstring &volumeRoot) {
  wchar_t volumeName[MAX_PATH];
  if (GetVolumeNameForVolumeMountPointW(volumeRoot.c_str(), volumeName, MAX_PATH) == 0)
    return DriveKind::unknown;
  std::wstring device = volumeName;
  if (!device.empty() && device.back() == L'\\')
    device.pop_back(); // the volume itself, not its root folder
  const HANDLE volume = CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (volume == INVALID_HANDLE_VALUE)
    return DriveKind::unknown;
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = StorageDeviceSeekPenaltyProperty;
  query.QueryType = PropertyStandardQuery;
  DEVICE_SEEK_PENALTY_DESCRIPTOR penalty{};
  DWORD returned = 0;
  const bool answered = DeviceIoControl(volume, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                                        &penalty, sizeof penalty, &returned, nullptr) != 0 &&
                        returned >= sizeof penalty;
  CloseHandle(volume);
  if (!answered)
    return DriveKind::unknown;
  return penalty.IncursSeekPenalty ? DriveKind::spinning : DriveKind::solidState;
}

} // namespace

DriveKind DriveKindOf(const char *path, const std::string & /*sysfs*/) {
  std::wstring wide;
  if (!Utf8ToWide(path, wide))
    return DriveKind::unknown;
  if (wide.empty())
    wide = L".";
  std::wstring full = LongPathForm(wide);
  wchar_t root[MAX_PATH];
  if (GetVolumePathNameW(full.c_str(), root, MAX_PATH) == 0)
    return DriveKind::unknown;
  switch (GetDriveTypeW(root)) {
  case DRIVE_REMOTE:
    return DriveKind::network;
  case DRIVE_RAMDISK:
    return DriveKind::memory;
  case DRIVE_FIXED:
    return SeekPenaltyKind(root);
  default:
    return DriveKind::unknown;
  }
}
