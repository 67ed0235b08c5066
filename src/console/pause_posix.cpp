#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iterator>
#include <ostream>

#include "console/console.h"

namespace quorvale {

namespace {

// The settings to put back, readable from a signal handler.
termios g_saved_settings;

constexpr int kSignalsThatEndTheWait[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void restore_then_end(int signal_number) {
  tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_settings);
  // SA_RESETHAND has put the default action back; the signal stays blocked until this
  // handler returns, and then ends the game as it would have without us.
  static_cast<void>(raise(signal_number));
}

// Holds the terminal in single-key, no-echo mode for its lifetime and puts the player's
// settings back on every way out: scope exit, or a signal that ends the process.
class KeyPressMode {
 public:
  explicit KeyPressMode(const termios& saved) {
    g_saved_settings = saved;
    struct sigaction restore = {};
    restore.sa_handler = restore_then_end;
    restore.sa_flags = SA_RESETHAND;
    sigemptyset(&restore.sa_mask);
    for (std::size_t i = 0; i < kSignalCount; ++i) {
      sigaction(kSignalsThatEndTheWait[i], nullptr, &previous_[i]);
      // A signal someone chose to ignore (nohup) stays ignored.
      if (previous_[i].sa_handler != SIG_IGN) {
        sigaction(kSignalsThatEndTheWait[i], &restore, nullptr);
      }
    }
    termios key_press = saved;
    key_press.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);  // ISIG stays: Ctrl-C works
    key_press.c_cc[VMIN] = 1;
    key_press.c_cc[VTIME] = 0;
    // TCSAFLUSH drops keys typed before the prompt: only a key pressed after it counts.
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &key_press);
  }

  ~KeyPressMode() {
    // Flushing also drops the rest of a key that sends several bytes (arrows, F-keys).
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved_settings);
    for (std::size_t i = 0; i < kSignalCount; ++i) {
      sigaction(kSignalsThatEndTheWait[i], &previous_[i], nullptr);
    }
  }

  KeyPressMode(const KeyPressMode&) = delete;
  KeyPressMode& operator=(const KeyPressMode&) = delete;
  KeyPressMode(KeyPressMode&&) = delete;
  KeyPressMode& operator=(KeyPressMode&&) = delete;

 private:
  static constexpr std::size_t kSignalCount = std::size(kSignalsThatEndTheWait);
  struct sigaction previous_[kSignalCount] = {};
};

void wait_for_one_byte() {
  // Straight from the terminal: std::cin still holds the line end after the class answer.
  char key = 0;
  while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
  }
}

}  // namespace

void pause_for_key(std::ostream& out) {
  termios saved{};
  if (isatty(STDIN_FILENO) == 0 || tcgetattr(STDIN_FILENO, &saved) != 0) {
    return;  // no player at a terminal: nobody to wait for
  }
  out << "Press any key to continue . . . " << std::flush;
  {
    const KeyPressMode mode(saved);
    wait_for_one_byte();
  }
  out << '\n' << std::flush;
}

}  // namespace quorvale
