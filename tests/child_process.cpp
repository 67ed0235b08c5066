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

extern char** environ;  // NOLINT: POSIX declares it nowhere

namespace quorvale::testing {

namespace {

[[noreturn]] void fail(const char* what, int error = errno) {
  throw std::runtime_error(std::string(what) + " failed: " + std::strerror(error));
}

// How the child's standard streams are to be set up, undone when it goes.
class FileActions {
 public:
  FileActions() {
    posix_spawn_file_actions_init(&actions_);
  }
  ~FileActions() {
    posix_spawn_file_actions_destroy(&actions_);
  }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
  FileActions(FileActions&&) = delete;
  FileActions& operator=(FileActions&&) = delete;

  // `fd` opened from `path`, or closed where there is none.
  void open(int fd, const char* path, int flags) {
    if (path == nullptr) {
      posix_spawn_file_actions_addclose(&actions_, fd);
    } else {
      posix_spawn_file_actions_addopen(&actions_, fd, path, flags, 0600);
    }
  }
  void dup2(int from, int to) {
    posix_spawn_file_actions_adddup2(&actions_, from, to);
  }
  const posix_spawn_file_actions_t* get() const {
    return &actions_;
  }

 private:
  posix_spawn_file_actions_t actions_{};
};

// Starts `command` (a path and its arguments) with SIGPIPE at its default, since an ignored
// signal would be inherited and hide whether the game ignores it itself, and nothing blocked.
// `flags` may add POSIX_SPAWN_SETSID. Signal tests leave no core files.
pid_t spawn(const std::vector<std::string>& command, const FileActions& actions, short flags) {
  const rlimit no_core{0, 0};
  static_cast<void>(setrlimit(RLIMIT_CORE, &no_core));
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attributes, &signals);
  sigaddset(&signals, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &signals);
  posix_spawnattr_setflags(
      &attributes, static_cast<short>(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | flags));
  std::vector<char*> argv(command.size() + 1, nullptr);
  std::transform(command.begin(), command.end(), argv.begin(), [](const std::string& word) {
    return const_cast<char*>(word.c_str());  // NOLINT: posix_spawn's historical signature
  });
  pid_t pid = -1;
  const int error =
      posix_spawn(&pid, argv.front(), actions.get(), &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    fail("posix_spawn", error);
  }
  return pid;
}

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

}  // namespace

std::optional<int> run_redirected(const char* program, const char* input_path,
                                  const char* output_path, milliseconds timeout) {
  FileActions actions;
  actions.open(STDIN_FILENO, input_path, O_RDONLY);
  actions.open(STDOUT_FILENO, output_path, O_WRONLY | O_CREAT | O_TRUNC);
  const pid_t pid = spawn({program}, actions, 0);
  const auto status = wait_at_most(pid, timeout);
  if (!status) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  return status;
}

ChildProcess::ChildProcess(const std::vector<std::string>& command, Console console) {
  FileActions actions;
  if (console == Console::kTerminal) {
    from_child_ = Descriptor(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    char name[64];
    if (from_child_.get() < 0 || grantpt(from_child_.get()) != 0 ||
        unlockpt(from_child_.get()) != 0 || ptsname_r(from_child_.get(), name, sizeof name) != 0)
      fail("opening a pseudo-terminal");
    to_child_ = Descriptor(fcntl(from_child_.get(), F_DUPFD_CLOEXEC, 0));
    // Holding the game's side open keeps its settings readable after the game exits.
    terminal_ = Descriptor(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (to_child_.get() < 0 || terminal_.get() < 0)
      fail("opening the pseudo-terminal's game side");
    // Opened in the child's new session, it becomes the game's controlling terminal.
    actions.open(STDIN_FILENO, name, O_RDWR);
    actions.dup2(STDIN_FILENO, STDOUT_FILENO);
    actions.dup2(STDIN_FILENO, STDERR_FILENO);
    pid_ = spawn(command, actions, POSIX_SPAWN_SETSID);
    return;
  }
  int to_game[2];
  if (pipe2(to_game, O_CLOEXEC) != 0)
    fail("pipe2");
  const Descriptor game_input(to_game[0]);
  to_child_ = Descriptor(to_game[1]);
  int from_game[2];
  if (pipe2(from_game, O_CLOEXEC) != 0)
    fail("pipe2");
  const Descriptor game_output(from_game[1]);
  from_child_ = Descriptor(from_game[0]);
  actions.dup2(game_input.get(), STDIN_FILENO);
  actions.dup2(game_output.get(), STDOUT_FILENO);
  pid_ = spawn(command, actions, 0);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void ChildProcess::write(std::string_view bytes) const {
  // A game that has already exited must fail the test, not kill it with SIGPIPE.
  static_cast<void>(signal(SIGPIPE, SIG_IGN));
  while (!bytes.empty()) {
    const ssize_t written = ::write(to_child_.get(), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      fail("write to the game");
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void ChildProcess::close_input() {
  to_child_.reset();
}

void ChildProcess::close_output() {
  from_child_.reset();
}
ChildProcess::Read ChildProcess::read_some(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
  pollfd ready{from_child_.get(), POLLIN, 0};
  if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
    return Read::kTimeout;
  }
  char buffer[4096];
  const ssize_t got = read(from_child_.get(), buffer, sizeof buffer);
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
