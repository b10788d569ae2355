//===- fs/unix/drive_list.cpp - The drives of the mount table -------------===//

#include "fs/drive_list.h"

#include "fs/mount_table.h"

std::unique_ptr<TTDriveTable> ReadDriveTable() { return std::make_unique<TTMountTable>(); }

TTString DriveTableSource() { return TTString(TTDriveProbe().mountInfo.c_str()); }
