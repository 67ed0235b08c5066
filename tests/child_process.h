#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace quorvale::testing {

using std::chrono::milliseconds;

// The built game run as a child process, talked to through pipes or a pseudo-terminal.
// Every wait is bounded, so a game that hangs fails its test instead of stalling it.
class ChildProcess {
 public:
  enum class Console { kPipes, kTerminal };

  ChildProcess(const char* program, Console console);
  ~ChildProcess();  // kills and reaps a child that is still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void write(std::string_view bytes);
  void close_input();   // pipes only: the game's standard input reaches its end
  void close_output();  // pipes only: the reader of the game's standard output goes away

  // Collects output until it ends with `text`; false if that takes longer than `timeout`.
  bool read_until(std::string_view text, milliseconds timeout);
  // Collects output until the game closes it; false on timeout.
  bool read_to_end(milliseconds timeout);
  const std::string& output() const {
    return output_;
  }

  // The raw wait status once the child has ended, or nothing if it is still running then.
  std::optional<int> wait_for_exit(milliseconds timeout);

  // The pseudo-terminal's side the game sees; valid only for Console::kTerminal.
  int terminal_fd() const {
    return terminal_;
  }
  pid_t pid() const {
    return pid_;
  }

 private:
  using Clock = std::chrono::steady_clock;
  enum class Read { kData, kEnd, kTimeout };
  Read read_some(Clock::time_point deadline);

  pid_t pid_ = -1;
  int to_child_ = -1;
  int from_child_ = -1;
  int terminal_ = -1;  // an open descriptor of the terminal's game side, kept by the test
  std::string output_;
  bool reaped_ = false;
};

}  // namespace quorvale::testing
