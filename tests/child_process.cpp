#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <tuple>

extern char** environ;  // NOLINT: POSIX declares it in no header

namespace quorvale::testing {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const char* what, int error = errno) {
  throw std::runtime_error(std::string(what) + " failed: " + std::strerror(error));
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& command, Console console,
                           const char* input, const char* output) {
  // First every descriptor, any of which may fail; then the child's streams, which cannot.
  char terminal_name[64] = "";
  Descriptor game_input;
  Descriptor game_output;
  const bool terminal = console == Console::kTerminal || console == Console::kNonBlockingTerminal;
  if (terminal) {
    from_child_ = Descriptor(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (from_child_.fd < 0 || grantpt(from_child_.fd) != 0 || unlockpt(from_child_.fd) != 0 ||
        ptsname_r(from_child_.fd, terminal_name, sizeof terminal_name) != 0)
      fail("opening a pseudo-terminal");
    to_child_ = Descriptor(fcntl(from_child_.fd, F_DUPFD_CLOEXEC, 0));
    // Held open, the game's side keeps its settings readable after the game exits.
    terminal_ = Descriptor(open(terminal_name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (to_child_.fd < 0 || terminal_.fd < 0)
      fail("opening the pseudo-terminal's game side");
  } else if (console == Console::kPipes) {
    int ends[2][2];
    if (pipe2(ends[0], O_CLOEXEC) != 0)
      fail("pipe2");
    game_input = Descriptor(ends[0][0]);
    to_child_ = Descriptor(ends[0][1]);
    if (pipe2(ends[1], O_CLOEXEC) != 0)
      fail("pipe2");
    from_child_ = Descriptor(ends[1][0]);
    game_output = Descriptor(ends[1][1]);
  }
  posix_spawn_file_actions_t streams;
  posix_spawn_file_actions_init(&streams);
  if (terminal) {
    // Opened in the child's new session, it becomes the game's controlling terminal.
    posix_spawn_file_actions_addopen(
        &streams, STDIN_FILENO, terminal_name,
        console == Console::kNonBlockingTerminal ? O_RDWR | O_NONBLOCK : O_RDWR, 0);
    posix_spawn_file_actions_adddup2(&streams, STDIN_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&streams, STDIN_FILENO, STDERR_FILENO);
  } else if (console == Console::kPipes) {
    posix_spawn_file_actions_adddup2(&streams, game_input.fd, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&streams, game_output.fd, STDOUT_FILENO);
  } else {
    for (const auto& [fd, path, flags] :
         {std::tuple(STDIN_FILENO, input, O_RDONLY),
          std::tuple(STDOUT_FILENO, output, O_WRONLY | O_CREAT | O_TRUNC)}) {
      if (path == nullptr)
        posix_spawn_file_actions_addclose(&streams, fd);
      else
        posix_spawn_file_actions_addopen(&streams, fd, path, flags, 0600);
    }
  }
  // SIGPIPE at its default: an ignored one would be inherited, hiding whether the game
  // ignores it itself.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &signals);
  posix_spawnattr_setflags(
      &attributes, terminal ? POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID : POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> argv(command.size() + 1, nullptr);
  std::transform(command.begin(), command.end(), argv.begin(), [](const std::string& word) {
    return const_cast<char*>(word.c_str());  // NOLINT: posix_spawn's historical signature
  });
  const rlimit no_core{0, 0};  // signal tests leave no core files
  static_cast<void>(setrlimit(RLIMIT_CORE, &no_core));
  const int error = posix_spawn(&pid_, argv.front(), &streams, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&streams);
  if (error != 0)
    fail("posix_spawn", error);
}

ChildProcess::~ChildProcess() {
  if (!status_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void ChildProcess::write(std::string_view bytes) const {
  // A game that has already exited must fail the test, not kill it with SIGPIPE.
  static_cast<void>(signal(SIGPIPE, SIG_IGN));
  while (!bytes.empty()) {
    const ssize_t written = ::write(to_child_.fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      fail("write to the game");
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

ChildProcess::Read ChildProcess::read_some(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
  pollfd ready{from_child_.fd, POLLIN, 0};
  if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0)
    return Read::kTimeout;
  char buffer[4096];
  const ssize_t got = read(from_child_.fd, buffer, sizeof buffer);
  if (got <= 0)
    return Read::kEnd;  // a pseudo-terminal says EIO once the game has gone
  output_.append(buffer, static_cast<std::size_t>(got));
  return Read::kData;
}

bool ChildProcess::read_until(std::string_view text, milliseconds timeout, std::size_t from) {
  const auto deadline = Clock::now() + timeout;
  while (output_.size() < from + text.size() ||
         std::string_view(output_).substr(output_.size() - text.size()) != text) {
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
  while (!status_) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_)
      status_ = status;
    else if (done < 0 || Clock::now() >= deadline)
      break;
    else
      std::this_thread::sleep_for(milliseconds(5));
  }
  return status_;
}

}  // namespace quorvale::testing
