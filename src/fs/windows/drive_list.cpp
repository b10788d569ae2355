//===- fs/windows/drive_list.cpp - The logical drives ---------------------===//

#include "fs/drive_list.h"

#include "core/exceptions.h"
#include "fs/path_names.h"
#include "fs/windows/wide_name.h"

#include <string>
#include <vector>

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>

using namespace velkor::windows;

namespace {

[[noreturn]] void ThrowLastWindowsError() {
  const DWORD error = GetLastError();
  ThrowFileException(SystemErrorToFileError(error), error);
}

/// The logical drives, "A:\" to "Z:\" as the system lists them, each with
/// the type the system gives it. Every drive letter is a volume or share
/// of its own: none covers another.
class TTLogicalDrives : public TTDriveTable {
public:
  TTLogicalDrives() { ReadRoots(); }

  const TTStringList &Roots() const override { return roots; }

  std::uint32_t DriveType(const TTString &root) const override {
    // The call wants the closing backslash, after a drive's colon too.
    TTString path = root;
    MakeDirectoryPath(path);
    if (!path.IsEmpty() && path.At(path.Length() - 1) == ':')
      path += '\\';
    std::wstring wide;
    if (!IsRoot(path) || !Utf8ToWide(path.CStr(), wide))
      return DRIVE_NO_ROOT_DIR;
    return GetDriveTypeW(wide.c_str());
  }

  TTString CoveringRoot(const TTString &) const override { return TTString(); }

private:
  /// True when `path` is one of the roots, in any letter case.
  bool IsRoot(const TTString &path) const {
    for (const TTString &root : roots) {
      if (root.CompareNoCase(path) == 0)
        return true;
    }
    return false;
  }

  /// The roots from GetLogicalDriveStringsW: one NUL after each, and one
  /// more at the end.
  void ReadRoots() {
    const DWORD needed = GetLogicalDriveStringsW(0, nullptr);
    if (needed == 0)
      ThrowLastWindowsError();
    std::vector<wchar_t> buffer(needed + 1, L'\0');
    const DWORD written = GetLogicalDriveStringsW(needed, buffer.data());
    if (written == 0)
      ThrowLastWindowsError();
    if (written > needed)
      throw std::int32_t{111708}; // the list grew between the two calls
    std::wstring current;
    for (DWORD i = 0; i < written; ++i) {
      if (buffer[i] != L'\0') {
        current += buffer[i];
        continue;
      }
      TTString root;
      if (WideToUtf8(current.c_str(), root))
        roots.AddCopy(root);
      current.clear();
    }
    if (!current.empty())
      throw std::int32_t{111711}; // the last root was not terminated
  }

  TTStringList roots;
};

} // namespace

std::unique_ptr<TTDriveTable> ReadDriveTable() { return std::make_unique<TTLogicalDrives>(); }

TTString DriveTableSource() { return TTString(); }
