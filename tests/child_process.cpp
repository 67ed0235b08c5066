#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "fate/fate.h"

namespace quorvale::testing {

namespace {

[[noreturn]] void fail(const char* what) {
  throw std::runtime_error(std::string(what) + " failed: errno " + std::to_string(errno));
}

// In the child: the default for SIGPIPE (an ignored signal would be inherited, hiding
// whether the game ignores it itself), no core files from signal tests, then the command.
[[noreturn]] void exec_command(const std::vector<std::string>& command) {
  static_cast<void>(signal(SIGPIPE, SIG_DFL));
  const rlimit no_core{0, 0};
  static_cast<void>(setrlimit(RLIMIT_CORE, &no_core));
  std::vector<char*> argv(command.size() + 1, nullptr);
  std::transform(command.begin(), command.end(), argv.begin(), [](const std::string& word) {
    return const_cast<char*>(word.c_str());  // NOLINT: execv's historical signature
  });
  execv(argv.front(), argv.data());
  _exit(127);
}
}  // namespace

namespace {
// The raw wait status of `pid` once it has ended, or nothing if it outlives `timeout`.
std::optional<int> wait_at_most(pid_t pid, milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid)
      return status;
    if (done < 0 || std::chrono::steady_clock::now() >= deadline)
      return std::nullopt;
    std::this_thread::sleep_for(milliseconds(5));
  }
}

// In the child: `fd` becomes the file at `path`, or is closed when there is none.
void redirect(int fd, const char* path, int flags) {
  if (path == nullptr) {
    close(fd);
    return;
  }
  const int opened = open(path, flags, 0600);
  if (opened < 0)
    _exit(126);
  if (opened != fd) {
    dup2(opened, fd);
    close(opened);
  }
}
}  // namespace

std::optional<int> run_redirected(const char* program, const char* input_path,
                                  const char* output_path, milliseconds timeout) {
  const pid_t pid = fork();
  if (pid < 0)
    fail("fork");
  if (pid == 0) {
    redirect(STDIN_FILENO, input_path, O_RDONLY);
    redirect(STDOUT_FILENO, output_path, O_WRONLY | O_CREAT | O_TRUNC);
    exec_command({program});
  }
  const auto status = wait_at_most(pid, timeout);
  if (!status) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  return status;
}

bool matches_transcript(const std::string& transcript, const std::string& expected) {
  const std::string marker = "<fate>";
  const auto at = expected.find(marker);
  if (at == std::string::npos)
    return transcript == expected;
  for (int fate = 1; fate <= 10; ++fate) {
    std::string with_fate = expected;
    with_fate.replace(at, marker.size(), fate_text(fate));
    if (transcript == with_fate)
      return true;
  }
  return false;
}

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

ChildProcess::ChildProcess(const std::vector<std::string>& command, Console console) {
  if (console == Console::kTerminal) {
    int controller = -1;
    pid_ = forkpty(&controller, nullptr, nullptr, nullptr);
    if (pid_ < 0)
      fail("forkpty");
    if (pid_ == 0)
      exec_command(command);
    to_child_ = from_child_ = controller;
    // Holding the game's side open keeps its settings readable after the game exits.
    terminal_ = open(ptsname(controller), O_RDWR | O_NOCTTY);
    if (terminal_ < 0)
      fail("open pseudo-terminal");
    return;
  }
  int to_game[2];
  int from_game[2];
  if (pipe2(to_game, O_CLOEXEC) != 0 || pipe2(from_game, O_CLOEXEC) != 0)
    fail("pipe");
  pid_ = fork();
  if (pid_ < 0)
    fail("fork");
  if (pid_ == 0) {
    dup2(to_game[0], STDIN_FILENO);
    dup2(from_game[1], STDOUT_FILENO);
    exec_command(command);
  }
  close(to_game[0]);
  close(from_game[1]);
  to_child_ = to_game[1];
  from_child_ = from_game[0];
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

void ChildProcess::write(std::string_view bytes) const {
  // A game that has already exited must fail the test, not kill it with SIGPIPE.
  static_cast<void>(signal(SIGPIPE, SIG_IGN));
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
  return read_until_after(0, text, timeout);
}

bool ChildProcess::read_until_next(std::string_view text, milliseconds timeout) {
  return read_until_after(output_.size(), text, timeout);
}

bool ChildProcess::read_until_after(std::size_t from, std::string_view text, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  auto ends_with_text = [&] {
    return output_.size() >= from + text.size() &&
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
  const auto status = wait_at_most(pid_, timeout);
  reaped_ = status.has_value();
  return status;
}

}  // namespace quorvale::testing
