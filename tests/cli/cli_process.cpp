//===- tests/cli/cli_process.cpp - velkor-cli run as a child process ------===//

#include "cli_process.h"

#include <fcntl.h>
#include <pty.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

std::string CliProgram() { return std::string(VELKOR_BINARY_DIR) + "/bin/velkor-cli"; }

CliProcess::CliProcess(const std::vector<std::string>& command, const std::string& workingDirectory) {
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
    if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  outFd = out[0];
  errFd = err[0];
}

CliProcess::CliProcess(const std::vector<std::string>& command, OnTerminal) {
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 120;
  pid = forkpty(&outFd, nullptr, nullptr, &size);
  if (pid == 0) {
    setenv("TERM", "xterm", 1);
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) ADD_FAILURE() << "forkpty";
}

CliProcess::~CliProcess() {
  if (pid > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  if (outFd >= 0) close(outFd);
  if (errFd >= 0) close(errFd);
}

bool CliProcess::ReadSome() {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  const int nfds = (outFd >= 0) + (errFd >= 0);
  if (nfds == 0) return false;
  if (outFd < 0) fds[0] = fds[1];
  if (poll(fds, nfds, 60000) <= 0) return false;
  bool any = false;
  for (int i = 0; i < nfds; ++i) {
    if (fds[i].revents == 0) continue;
    char buffer[65536];
    const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
    std::string& sink = fds[i].fd == outFd ? result.out : result.err;
    if (n > 0) {
      sink.append(buffer, n);
      any = true;
    } else {
      close(fds[i].fd);
      (fds[i].fd == outFd ? outFd : errFd) = -1;
      any = true;
    }
  }
  return any;
}

bool CliProcess::WaitForOutput(const std::string& text) {
  while (result.out.find(text) == std::string::npos) {
    if (outFd < 0 || !ReadSome()) return false;
  }
  return true;
}

void CliProcess::Signal(int signal) const { kill(pid, signal); }

CliResult CliProcess::Finish() {
  while ((outFd >= 0 || errFd >= 0) && ReadSome()) {
  }
  int status = 0;
  waitpid(pid, &status, 0);
  pid = -1;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

CliResult RunCli(const std::vector<std::string>& args, const std::string& workingDirectory) {
  std::vector<std::string> command = {CliProgram()};
  command.insert(command.end(), args.begin(), args.end());
  return CliProcess(command, workingDirectory).Finish();
}

CliResult RunCliOnTerminal(const std::vector<std::string>& args, int columns, const char* term) {
  std::vector<std::string> command = {CliProgram()};
  command.insert(command.end(), args.begin(), args.end());
  winsize size{};
  size.ws_row = 24;
  size.ws_col = static_cast<unsigned short>(columns);
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
  if (pid == 0) {
    setenv("TERM", term, 1);
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  CliResult result;
  if (pid < 0) {
    ADD_FAILURE() << "forkpty";
    return result;
  }
  char buffer[4096];
  for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) result.out.append(buffer, n);
  close(master);  // read ends with EIO once the child's side is closed
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

bool HasControlCharacters(const std::string& text) {
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\n') || c == 0x7F) return true;
  }
  return false;
}
