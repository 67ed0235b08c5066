#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace quorvale::testing {

namespace {

[[noreturn]] void fail(const char* what) {
  throw std::runtime_error(std::string(what) + " failed: errno " + std::to_string(errno));
}

// In the child: the default for SIGPIPE (an ignored signal would be inherited, hiding
// whether the game ignores it itself), no core files from signal tests, then the game.
[[noreturn]] void exec_game(const char* program) {
  signal(SIGPIPE, SIG_DFL);
  const rlimit no_core{0, 0};
  setrlimit(RLIMIT_CORE, &no_core);
  execl(program, program, static_cast<char*>(nullptr));
  _exit(127);
}
}  // namespace

ChildProcess::ChildProcess(const char* program, Console console) {
  if (console == Console::kTerminal) {
    int controller = -1;
    pid_ = forkpty(&controller, nullptr, nullptr, nullptr);
    if (pid_ < 0)
      fail("forkpty");
    if (pid_ == 0)
      exec_game(program);
    to_child_ = from_child_ = controller;
    // Holding the game's side open keeps its settings readable after the game exits.
    terminal_ = open(ptsname(controller), O_RDWR | O_NOCTTY);
    if (terminal_ < 0)
      fail("open pseudo-terminal");
    return;
  }
  int input[2];
  int output[2];
  if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0)
    fail("pipe");
  pid_ = fork();
  if (pid_ < 0)
    fail("fork");
  if (pid_ == 0) {
    dup2(input[0], STDIN_FILENO);
    dup2(output[1], STDOUT_FILENO);
    exec_game(program);
  }
  close(input[0]);
  close(output[1]);
  to_child_ = input[1];
  from_child_ = output[0];
}

ChildProcess::~ChildProcess() {
  if (!reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (to_child_ >= 0 && to_child_ != from_child_)
    close(to_child_);
  for (int fd : {from_child_, terminal_}) {
    if (fd >= 0)
      close(fd);
  }
}

void ChildProcess::write(std::string_view bytes) {
  // A game that has already exited must fail the test, not kill it with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  while (!bytes.empty()) {
    const ssize_t written = ::write(to_child_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      fail("write to the game");
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void ChildProcess::close_input() {
  close(to_child_);
  to_child_ = -1;
}

void ChildProcess::close_output() {
  close(from_child_);
  from_child_ = -1;
}

ChildProcess::Read ChildProcess::read_some(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
  pollfd ready{from_child_, POLLIN, 0};
  if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
    return Read::kTimeout;
  }
  char buffer[4096];
  const ssize_t got = read(from_child_, buffer, sizeof buffer);
  if (got <= 0)
    return Read::kEnd;  // a pseudo-terminal says EIO once the game has gone
  output_.append(buffer, static_cast<std::size_t>(got));
  return Read::kData;
}

bool ChildProcess::read_until(std::string_view text, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  auto ends_with_text = [&] {
    return output_.size() >= text.size() &&
           std::string_view(output_).substr(output_.size() - text.size()) == text;
  };
  while (!ends_with_text()) {
    if (read_some(deadline) != Read::kData)
      return false;
  }
  return true;
}

bool ChildProcess::read_to_end(milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  Read read = Read::kData;
  while (read == Read::kData)
    read = read_some(deadline);
  return read == Read::kEnd;
}

std::optional<int> ChildProcess::wait_for_exit(milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      reaped_ = true;
      return status;
    }
    if (done < 0 || Clock::now() >= deadline)
      return std::nullopt;
    std::this_thread::sleep_for(milliseconds(10));
  }
}

}  // namespace quorvale::testing
