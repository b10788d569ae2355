//===- tests/cli/windows/document_holder.cpp - Holds a document open ------===//
///
/// \file
/// A second program for the Windows tests: it opens the document named by
/// its first argument for reading and writing with no sharing (as an editor
/// that has the document open does), creates the file named by its second
/// argument to say that it holds it, waits until the file named by its third
/// argument exists, then writes its fourth argument at the start of the
/// document through its own handle,
/// closes it and ends with 0. Any failure ends it with 1 and a message.
///
//===----------------------------------------------------------------------===//

#include <cstdio>
#include <string>

// After the other headers: <windows.h> defines macros they may name.
#include <windows.h>

namespace {

int Fail(const char *what) {
  std::fprintf(stderr, "document_holder: %s: error %lu\n", what, GetLastError());
  return 1;
}

} // namespace

int wmain(int argc, wchar_t **argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: document_holder DOCUMENT HELD-FILE GO-FILE TEXT\n");
    return 2;
  }
  HANDLE document = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (document == INVALID_HANDLE_VALUE)
    return Fail("CreateFileW");
  HANDLE held = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  if (held == INVALID_HANDLE_VALUE)
    return Fail("CreateFileW held-file");
  CloseHandle(held);

  // A minute at most: a test that went wrong leaves no program behind.
  for (int waited = 0; GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES; waited += 20) {
    if (waited > 60000) {
      CloseHandle(document);
      return Fail("no go-file");
    }
    Sleep(20);
  }

  const std::wstring text = argv[4];
  const std::string bytes(text.begin(), text.end()); // ASCII text only
  DWORD written = 0;
  if (SetFilePointer(document, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
      !WriteFile(document, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size()) {
    CloseHandle(document);
    return Fail("WriteFile");
  }
  if (!CloseHandle(document))
    return Fail("CloseHandle");
  return 0;
}
