//===- tests/support/unix/process.cpp - Child processes on Linux ----------===//
///
/// \file
/// The child-process runner on Linux: fork and execvp, pipes or a
/// pseudo-terminal, poll, signals.
///
//===----------------------------------------------------------------------===//

#include "support/process.h"

#include <fcntl.h>
#include <pty.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace velkor::test {

namespace {

[[noreturn]] void Exec(const std::vector<std::string> &command) {
  std::vector<char *> argv;
  for (const std::string &arg : command)
    argv.push_back(const_cast<char *>(arg.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

} // namespace

std::string CliProgram() { return std::string(VELKOR_BINARY_DIR) + "/bin/velkor-cli"; }

CliProcess::CliProcess(const std::vector<std::string> &command,
                       const std::string &workingDirectory) {
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe";
    return;
  }
  pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    const int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0)
      _exit(126);
    Exec(command);
  }
  close(out[1]);
  close(err[1]);
  outFd = out[0];
  errFd = err[0];
  if (pid < 0)
    ADD_FAILURE() << "fork";
}

CliProcess::CliProcess(const std::vector<std::string> &command, OnTerminal terminal) {
  winsize size{};
  size.ws_row = 24;
  size.ws_col = static_cast<unsigned short>(terminal.columns);
  pid = forkpty(&outFd, nullptr, nullptr, &size);
  if (pid == 0) {
    setenv("TERM", terminal.term, 1);
    Exec(command);
  }
  if (pid < 0)
    ADD_FAILURE() << "forkpty";
}

CliProcess::~CliProcess() {
  if (pid > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  if (outFd >= 0)
    close(outFd);
  if (errFd >= 0)
    close(errFd);
}

bool CliProcess::ReadSome(int timeoutMs) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  const int nfds = (outFd >= 0) + (errFd >= 0);
  if (nfds == 0)
    return false;
  if (outFd < 0)
    fds[0] = fds[1];
  if (poll(fds, nfds, timeoutMs) <= 0)
    return false;
  bool any = false;
  for (int i = 0; i < nfds; ++i) {
    if (fds[i].revents == 0)
      continue;
    char buffer[65536];
    const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
    std::string &sink = fds[i].fd == outFd ? result.out : result.err;
    if (n > 0) {
      sink.append(buffer, n);
      any = true;
    } else {
      // The end, or EIO once a pseudo-terminal's child side is closed.
      close(fds[i].fd);
      (fds[i].fd == outFd ? outFd : errFd) = -1;
      any = true;
    }
  }
  return any;
}

bool CliProcess::WaitForOutput(const std::string &text) {
  while (result.out.find(text) == std::string::npos) {
    if (outFd < 0 || !ReadSome(60000))
      return false;
  }
  return true;
}

void CliProcess::Signal(int signal) const { kill(pid, signal); }

ProcessResult CliProcess::Finish() {
  int status = -1;
  bool ended = false;
  while ((outFd >= 0 || errFd >= 0) && pid > 0) {
    if (ReadSome(100))
      continue;
    // Silent for a moment: done once the program has ended, even when a
    // program it started still holds the pipes open.
    if (waitpid(pid, &status, WNOHANG) == pid) {
      ended = true;
      while (ReadSome(0)) {
      }
      break;
    }
  }
  if (!ended && pid > 0)
    waitpid(pid, &status, 0);
  pid = -1;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

} // namespace velkor::test
