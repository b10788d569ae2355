//===- cli/windows/idle_priority.cpp - --idle: background mode, idle class ===//

#include "cli/idle_priority.h"
#include "cli/command_support.h"

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>

namespace velkor::cli {
namespace {

/// What SetPriorityClass answers when background mode is on already
/// (winerror.h of the mingw-w64 headers does not have it).
constexpr DWORD kModeAlreadyBackground = 402; // ERROR_PROCESS_MODE_ALREADY_BACKGROUND

} // namespace

std::string EnterIdlePriority() {
  // The idle class first: background mode lowers the threads within the
  // class the process is in, and leaving it would undo that.
  if (!SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS))
    return "cannot lower the CPU priority: " + SystemErrorText(GetLastError());
  // Very low I/O priority and low memory priority for the whole process.
  if (!SetPriorityClass(GetCurrentProcess(), PROCESS_MODE_BACKGROUND_BEGIN) &&
      GetLastError() != kModeAlreadyBackground) {
    return "cannot enter the background I/O mode: " + SystemErrorText(GetLastError());
  }
  return std::string();
}

} // namespace velkor::cli
