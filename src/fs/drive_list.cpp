//===- fs/drive_list.cpp - The drive roots of this machine ---------------===//

#include "fs/drive_list.h"

void ListLogicalDrives(TTStringList &list) {
  const std::unique_ptr<TTDriveTable> table = ReadDriveTable();
  list.Clear();
  for (std::int32_t i = 0; i < table->Roots().Count(); ++i) {
    list.AddCopy(table->Roots().At(i));
  }
}

std::uint32_t GetDriveType(const TTString &root) { return ReadDriveTable()->DriveType(root); }
