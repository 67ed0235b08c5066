#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>
#include <iterator>
#include <ostream>

#include "console/console.h"

namespace quorvale {

namespace {

// Both settings, and what the wait has done so far, must be readable from signal handlers.
termios g_saved_settings;
termios g_key_press_settings;
volatile std::sig_atomic_t g_waiting = 0;
volatile std::sig_atomic_t g_prompt_on_screen = 0;
volatile std::sig_atomic_t g_stop_ignored = 0;

constexpr int kSignalsThatEndTheWait[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Whether the game may change the terminal now. On its controlling terminal only from the
// foreground: from the background the change would stop us (SIGTTOU), or, with SIGTTOU
// ignored, trample on the settings of whoever has it now. A terminal that is not our
// controlling one (setsid, su -c) has no foreground we could be out of: the player is ours.
bool may_set_terminal() {
  const pid_t foreground = tcgetpgrp(STDIN_FILENO);
  return foreground == getpgrp() || (foreground < 0 && errno == ENOTTY);
}

// Sets the terminal where that is ours to do, and leaves it be where it is not.
void set_terminal(const termios& settings, int when) {
  if (!may_set_terminal()) {
    return;
  }
  while (tcsetattr(STDIN_FILENO, when, &settings) != 0 && errno == EINTR) {
  }
}

void install(int signal_number, void (*handler)(int), int flags) {
  struct sigaction action = {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
}

extern "C" void restore_then_stop(int signal_number);

// Arms the Ctrl-Z handler, unless the player's shell had SIGTSTP ignored.
void catch_stop() {
  if (g_stop_ignored == 0) {
    install(SIGTSTP, restore_then_stop, SA_RESTART);
  }
}

extern "C" void restore_then_end(int signal_number) {
  set_terminal(g_saved_settings, TCSANOW);
  // SA_RESETHAND has put the default action back; the signal stays blocked until this
  // handler returns, and then ends the game as it would have without us.
  static_cast<void>(raise(signal_number));
}

// Ctrl-Z: give the player's settings back before stopping, or a shell that does not save
// them (dash) is left without echo; then stop, right here, with the default action. Where no
// shell can ever continue us (the game run as a terminal's own program: an orphaned process
// group) the kernel drops that stop, and the pause simply goes on.
extern "C" void restore_then_stop(int signal_number) {
  const int saved_errno = errno;
  set_terminal(g_saved_settings, TCSANOW);
  install(signal_number, SIG_DFL, 0);
  static_cast<void>(raise(signal_number));
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, signal_number);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);  // stopped here until continued, or not at all
  // Continued, resume_waiting has already done this and taken the terminal back (or left it
  // to the shell, from the background); where the stop was dropped, this does it at once.
  catch_stop();
  if (g_waiting != 0) {
    set_terminal(g_key_press_settings, TCSANOW);
  }
  errno = saved_errno;
}

// Continued (fg, bg or kill -CONT): the shell has had the terminal and set it its own way.
// In the foreground, take single-key mode again and show the prompt again; this happens in
// the handler because a resume can come between the prompt and the read. In the background,
// leave the terminal alone: the read that follows stops us (SIGTTIN) until fg.
extern "C" void resume_waiting(int /*signal_number*/) {
  if (g_waiting == 0) {
    return;
  }
  const int saved_errno = errno;
  catch_stop();  // first: once the prompt is back, the next Ctrl-Z must find it armed
  if (may_set_terminal()) {
    // As at the first prompt, keys typed while the game was away do not count.
    set_terminal(g_key_press_settings, TCSAFLUSH);
    if (g_prompt_on_screen != 0) {
      // Straight to the descriptor: streams are not safe here, and the prompt is flushed.
      // The carriage return rewrites the old prompt where nothing has come in between; after
      // the shell's "fg" the cursor is already at the start of a line.
      if (write(STDOUT_FILENO, "\r", 1) < 0 ||
          write(STDOUT_FILENO, kPausePrompt.data(), kPausePrompt.size()) < 0) {
        // Nothing to be done about a lost prompt; the key still ends the wait.
      }
    }
  }
  errno = saved_errno;
}

// Holds back the given signals for a scope, so that the handlers never see what they read
// half-made.
class SignalsHeld {
 public:
  explicit SignalsHeld(std::initializer_list<int> signal_numbers) {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal_number : signal_numbers) {
      sigaddset(&held, signal_number);
    }
    sigprocmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeld() {
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
  }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;
  SignalsHeld(SignalsHeld&&) = delete;
  SignalsHeld& operator=(SignalsHeld&&) = delete;

 private:
  sigset_t previous_ = {};
};

// Whether standard output is the terminal the key comes from: only there is the prompt on
// the player's screen (not with `quorvale > log`).
bool output_is_the_terminal() {
  struct stat input = {};
  struct stat output = {};
  return fstat(STDIN_FILENO, &input) == 0 && fstat(STDOUT_FILENO, &output) == 0 &&
         S_ISCHR(output.st_mode) && output.st_rdev == input.st_rdev;
}

// Holds the terminal in single-key, no-echo mode for its lifetime and puts the player's
// settings back on every way out it can see: scope exit, the signals that end a wait (Ctrl-C,
// Ctrl-\, kill, hang-up), and a stop (taking single-key mode again when continued). SIGKILL
// and a crash cannot be seen; `stty sane` mends the terminal after them.
class KeyPressMode {
 public:
  explicit KeyPressMode(const termios& saved) {
    {
      // Every handler in place before any of them can run: a Ctrl-Z taken by the stop handler
      // before the resume handler exists would leave the game stopped with no one to wake it.
      const SignalsHeld held({SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGCONT});
      g_saved_settings = saved;
      g_key_press_settings = saved;
      g_key_press_settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);  // ISIG stays
      g_key_press_settings.c_cc[VMIN] = 1;
      g_key_press_settings.c_cc[VTIME] = 0;

      for (std::size_t i = 0; i < kSignalCount; ++i) {
        sigaction(kSignalsThatEndTheWait[i], nullptr, &previous_[i]);
        // A signal someone chose to ignore (nohup) stays ignored.
        if (previous_[i].sa_handler != SIG_IGN) {
          install(kSignalsThatEndTheWait[i], restore_then_end, SA_RESETHAND);
        }
      }
      sigaction(SIGTSTP, nullptr, &previous_stop_);
      sigaction(SIGCONT, nullptr, &previous_continue_);
      g_stop_ignored = previous_stop_.sa_handler == SIG_IGN ? 1 : 0;
      catch_stop();
      install(SIGCONT, resume_waiting, SA_RESTART);
      g_waiting = 1;
    }
    // TCSAFLUSH drops keys typed before the prompt: only a key pressed after it counts. From
    // the background this waits for fg, where resume_waiting does it.
    set_terminal(g_key_press_settings, TCSAFLUSH);
  }

  ~KeyPressMode() {
    // From here a resume must not take single-key mode again.
    g_waiting = 0;
    g_prompt_on_screen = 0;
    // Flushing also drops the rest of a key that sends several bytes (arrows, F-keys).
    set_terminal(g_saved_settings, TCSAFLUSH);
    sigaction(SIGCONT, &previous_continue_, nullptr);
    sigaction(SIGTSTP, &previous_stop_, nullptr);
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
  struct sigaction previous_stop_ = {};
  struct sigaction previous_continue_ = {};
};

// Straight from the terminal: std::cin still holds the line end after the class answer.
// A read from the background stops the game (SIGTTIN) until fg, and then starts again.
void wait_for_one_byte() {
  char key = 0;
  while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
  }
}

}  // namespace

// A reader that goes away early (`quorvale < answers | head -3`) must not kill the game:
// with SIGPIPE ignored the write just fails, unnoticed, and the game still exits 0.
void prepare_console() {
  static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
}

void pause_for_key(std::ostream& out) {
  termios saved{};
  if (isatty(STDIN_FILENO) == 0 || tcgetattr(STDIN_FILENO, &saved) != 0) {
    return;  // no player at a terminal: nobody to wait for
  }
  {
    // The prompt comes once the terminal is ready for the key, so a key typed after it
    // counts and Ctrl-Z right after it is already handled.
    const KeyPressMode mode(saved);
    {
      // A stop or resume while the prompt is on its way waits until it is known to be out,
      // so it is drawn again once, and only if it was drawn at all.
      const SignalsHeld held({SIGTSTP, SIGCONT});
      out << kPausePrompt << std::flush;
      g_prompt_on_screen = output_is_the_terminal() ? 1 : 0;
    }
    wait_for_one_byte();
  }
  out << '\n' << std::flush;
}

}  // namespace quorvale
