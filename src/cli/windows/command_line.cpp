//===- cli/windows/command_line.cpp - The wide command line in UTF-8 ------===//

#include "cli/command_line.h"

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>
#include <shellapi.h>

namespace velkor::cli {
namespace {

/// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD, as no file can
/// have such a name in a form the program could use anyway.
std::string Utf8Of(const wchar_t *wide) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1)
    return std::string();
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
  text.pop_back(); // the terminating null
  return text;
}

} // namespace

std::vector<std::string> ArgumentsOfProcess(int argc, char **argv) {
  int count = 0;
  wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide)
    return std::vector<std::string>(argv, argv + argc); // the ANSI ones are all there is
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i)
    arguments.push_back(Utf8Of(wide[i]));
  LocalFree(wide);
  return arguments;
}

} // namespace velkor::cli
