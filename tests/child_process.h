#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvale::testing {

using std::chrono::milliseconds;

// An open file descriptor, closed when it goes: a constructor that throws half-way leaks none.
struct Descriptor {
  explicit Descriptor(int opened = -1) : fd(opened) {}
  Descriptor(Descriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(fd, other.fd);
    return *this;
  }
  ~Descriptor() {
    if (fd >= 0)
      close(fd);
  }
  int fd;
};

// The built game, or a shell, run as a child process. Every wait is bounded, so a game that
// hangs fails its test instead of stalling it; a child still running at the end is killed.
class ChildProcess {
 public:
  // Its standard input and output: pipes from and to the test; a pseudo-terminal, its
  // controlling one in a session of its own, opened blocking or non-blocking; or the files at
  // `input` and `output`, each closed where its path is null.
  enum class Console { kPipes, kTerminal, kNonBlockingTerminal, kFiles };
  // `command` is the program's path followed by its arguments.
  ChildProcess(const std::vector<std::string>& command, Console console,
               const char* input = nullptr, const char* output = nullptr);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void write(std::string_view bytes) const;
  void close_input() {  // the game's standard input reaches its end (pipes)
    to_child_ = Descriptor();
  }
  void close_output() {  // the reader of the game's standard output goes away (pipes)
    from_child_ = Descriptor();
  }

  // Collects output until it ends with `text`, which must come after the first `from` bytes;
  // false if that takes longer than `timeout`.
  bool read_until(std::string_view text, milliseconds timeout, std::size_t from = 0);
  // The same, but `text` must come anew, as a shell's next prompt after its last one.
  bool read_until_next(std::string_view text, milliseconds timeout) {
    return read_until(text, timeout, output_.size());
  }
  // Collects output until the game closes it; false on timeout.
  bool read_to_end(milliseconds timeout);
  const std::string& output() const {
    return output_;
  }

  // The raw wait status once the child has ended, or nothing if it is still running then.
  std::optional<int> wait_for_exit(milliseconds timeout);
  // The pseudo-terminal's side the game sees, held open by the test (either terminal).
  int terminal_fd() const {
    return terminal_.fd;
  }
  pid_t pid() const {
    return pid_;
  }

 private:
  enum class Read { kData, kEnd, kTimeout };
  Read read_some(std::chrono::steady_clock::time_point deadline);

  Descriptor to_child_;
  Descriptor from_child_;
  Descriptor terminal_;
  pid_t pid_ = -1;
  std::string output_;
  std::optional<int> status_;  // once reaped
};

}  // namespace quorvale::testing
