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
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    reset();
  }
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    reset(std::exchange(other.fd_, -1));
    return *this;
  }
  int get() const {
    return fd_;
  }
  void reset(int fd = -1) {
    if (fd_ >= 0) {
      close(fd_);
    }
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// The built game run as a child process, talked to through pipes or a pseudo-terminal.
// Every wait is bounded, so a game that hangs fails its test instead of stalling it.
class ChildProcess {
 public:
  enum class Console { kPipes, kTerminal };

  ChildProcess(const char* program, Console console)
      : ChildProcess(std::vector<std::string>{program}, console) {}
  // `command` is the program's path followed by its arguments.
  ChildProcess(const std::vector<std::string>& command, Console console);
  ~ChildProcess();  // kills and reaps a child that is still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void write(std::string_view bytes) const;
  void close_input();   // pipes only: the game's standard input reaches its end
  void close_output();  // pipes only: the reader of the game's standard output goes away

  // Collects output until it ends with `text`; false if that takes longer than `timeout`.
  bool read_until(std::string_view text, milliseconds timeout);
  // The same, but `text` must come anew, as a shell's next prompt after its last one.
  bool read_until_next(std::string_view text, milliseconds timeout);
  // Collects output until the game closes it; false on timeout.
  bool read_to_end(milliseconds timeout);
  const std::string& output() const {
    return output_;
  }

  // The raw wait status once the child has ended, or nothing if it is still running then.
  std::optional<int> wait_for_exit(milliseconds timeout);

  // The pseudo-terminal's side the game sees; valid only for Console::kTerminal.
  int terminal_fd() const {
    return terminal_.get();
  }
  pid_t pid() const {
    return pid_;
  }

 private:
  using Clock = std::chrono::steady_clock;
  enum class Read { kData, kEnd, kTimeout };
  Read read_some(Clock::time_point deadline);
  bool read_until_after(std::size_t from, std::string_view text, milliseconds timeout);

  Descriptor to_child_;
  Descriptor from_child_;
  Descriptor terminal_;  // the terminal's game side, held open by the test
  pid_t pid_ = -1;
  std::string output_;
  bool reaped_ = false;
};

// Runs `program` to its end with standard input and output opened from the given paths, or
// closed where a path is null. The raw wait status, or nothing if it ran past `timeout`.
std::optional<int> run_redirected(const char* program, const char* input_path,
                                  const char* output_path, milliseconds timeout);

}  // namespace quorvale::testing
