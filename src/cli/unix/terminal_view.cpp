//===- cli/unix/terminal_view.cpp - The terminal's kind and width ---------===//

#include "cli/terminal_view.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace velkor::cli {

bool IsTerminal(std::FILE *stream) { return isatty(fileno(stream)); }

int TerminalWidth(std::FILE *stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    return size.ws_col;
  }
  return 0;
}

int FailedWriteError() { return errno; }

void PrepareStandardStreams() {
  // Bytes go out as the program writes them.
}

} // namespace velkor::cli
