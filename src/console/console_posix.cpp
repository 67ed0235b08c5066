#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <initializer_list>
#include <iostream>
#include <streambuf>

#include "console/console.h"

namespace quorvale {

namespace {

// ---- Standard input and output ----
//
// Someone may have opened the terminal non-blocking (a wrapper, a multiplexer's helper), and
// the descriptor's flags are not ours to change. So an EAGAIN is no answer: the game waits
// for the descriptor with poll and tries again. Output held back by Ctrl-S on such a terminal
// comes out after Ctrl-Q, as on any other.

void wait_until_ready(int fd, short events) {
  pollfd ready{fd, events, 0};
  static_cast<void>(poll(&ready, 1, -1));  // interrupted or not, the next try says what came
}

// What standard input has: 0 at its end, -1 on an error.
ssize_t read_input(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = read(STDIN_FILENO, buffer, size);
    if (got >= 0) {
      return got;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      wait_until_ready(STDIN_FILENO, POLLIN);
    } else if (errno != EINTR) {
      return -1;
    }
  }
}

// All of `bytes`, or false once the output has failed for good (a full disk, a reader gone).
bool write_output(const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t put = write(STDOUT_FILENO, bytes, size);
    if (put > 0) {
      bytes += put;
      size -= static_cast<std::size_t>(put);
    } else if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      wait_until_ready(STDOUT_FILENO, POLLOUT);
    } else if (put == 0 || errno != EINTR) {
      return false;
    }
  }
  return true;
}

class StandardInput final : public std::streambuf {
 protected:
  int_type underflow() override {
    const ssize_t got = read_input(buffer_, sizeof buffer_);
    if (got <= 0) {
      return traits_type::eof();
    }
    setg(buffer_, buffer_, buffer_ + got);
    return traits_type::to_int_type(*gptr());
  }

 private:
  char buffer_[4096] = {};
};

// Written out when full, on a flush, and before each read (std::cin is tied to std::cout).
// After a failed write what it held is dropped and the stream goes bad, and the game goes on.
class StandardOutput final : public std::streambuf {
 public:
  StandardOutput() {
    setp(buffer_, buffer_ + sizeof buffer_);
  }

 protected:
  int_type overflow(int_type byte) override {
    if (sync() != 0) {
      return traits_type::eof();
    }
    if (!traits_type::eq_int_type(byte, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(byte);
      pbump(1);
    }
    return traits_type::not_eof(byte);
  }

  // What does not fit goes straight out, so a 64 MiB name is written once, not copied.
  std::streamsize xsputn(const char* bytes, std::streamsize count) override {
    if (count < epptr() - pptr()) {
      std::memcpy(pptr(), bytes, static_cast<std::size_t>(count));
      pbump(static_cast<int>(count));
      return count;
    }
    if (sync() != 0 || !write_output(bytes, static_cast<std::size_t>(count))) {
      return 0;
    }
    return count;
  }

  int sync() override {
    const bool written = write_output(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(buffer_, buffer_ + sizeof buffer_);
    return written ? 0 : -1;
  }

 private:
  char buffer_[4096] = {};
};

// What the handlers share with the wait. The player's settings are read again whenever the
// game takes the terminal after having given it back, as the player may have changed them
// meanwhile (stty while the game was stopped).
termios g_players_settings;
termios g_key_press_settings;
volatile std::sig_atomic_t g_waiting = 0;
volatile std::sig_atomic_t g_terminal_taken = 0;  // holds g_key_press_settings, ours to undo
volatile std::sig_atomic_t g_prompt_on_screen = 0;
volatile std::sig_atomic_t g_stop_ignored = 0;

// Whether the game may change the terminal now. On its controlling terminal only from the
// foreground: from the background the change would stop us (SIGTTOU), or, with SIGTTOU
// ignored, trample on the settings of whoever has it now. A terminal that is not our
// controlling one (setsid, su -c) has no foreground we could be out of: the player is ours.
bool may_set_terminal() {
  const pid_t foreground = tcgetpgrp(STDIN_FILENO);
  return foreground == getpgrp() || (foreground < 0 && errno == ENOTTY);
}

// Handlers see every other signal held, so none of them runs inside another and finds the
// settings half-copied.
void install(int signal_number, void (*handler)(int), int flags,
             struct sigaction* previous = nullptr) {
  struct sigaction action = {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigfillset(&action.sa_mask);
  sigaction(signal_number, &action, previous);
}

extern "C" void note_background(int /*signal_number*/) {}

// Sets the terminal where that is ours to do; true if it did. The check alone could be
// split from the change by a stop and `bg`, so the kernel is made to check as well: with
// SIGTTOU caught (not ignored, not blocked) for the call, a change from the background fails
// with EINTR instead of taking effect, and the loop looks again.
bool set_terminal(const termios& settings, int when) {
  struct sigaction previous = {};
  install(SIGTTOU, note_background, 0, &previous);
  sigset_t background;
  sigset_t mask;
  sigemptyset(&background);
  sigaddset(&background, SIGTTOU);
  sigprocmask(SIG_UNBLOCK, &background, &mask);
  bool done = false;
  while (!done && may_set_terminal()) {
    done = tcsetattr(STDIN_FILENO, when, &settings) == 0;
    if (!done && errno != EINTR) {
      break;
    }
  }
  sigprocmask(SIG_SETMASK, &mask, nullptr);
  sigaction(SIGTTOU, &previous, nullptr);
  return done;
}

// Takes single-key, no-echo mode from the foreground; true if the game is there. After the
// terminal was given back, it starts from the settings the terminal has now.
bool take_terminal(int when) {
  if (!may_set_terminal()) {
    return false;
  }
  if (g_terminal_taken == 0) {
    termios now{};
    if (tcgetattr(STDIN_FILENO, &now) == 0) {
      g_players_settings = now;
      g_key_press_settings = now;
      g_key_press_settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);  // ISIG stays
      g_key_press_settings.c_cc[VMIN] = 1;
      g_key_press_settings.c_cc[VTIME] = 0;
    }
  }
  if (set_terminal(g_key_press_settings, when)) {
    g_terminal_taken = 1;
  }
  return true;
}

void give_terminal_back(int when) {
  if (g_terminal_taken != 0 && set_terminal(g_players_settings, when)) {
    g_terminal_taken = 0;
  }
}

extern "C" void restore_then_stop(int signal_number);

// Arms the Ctrl-Z handler, unless the player's shell had SIGTSTP ignored.
void catch_stop() {
  if (g_stop_ignored == 0) {
    install(SIGTSTP, restore_then_stop, SA_RESTART);
  }
}

extern "C" void restore_then_end(int signal_number) {
  give_terminal_back(TCSANOW);
  // SA_RESETHAND has put the default action back; the signal stays blocked until this
  // handler returns, and then ends the game as it would have without us.
  static_cast<void>(raise(signal_number));
}

// Ctrl-Z: give the player's settings back before stopping, or a shell that does not save
// them (dash) is left without echo; then stop, right here, with the default action.
// Continued, the SIGCONT this handler holds back is pending, and resume_waiting takes over
// once it returns. Where no shell can ever continue us (the game run as a terminal's own
// program: an orphaned process group) the kernel drops the stop, and the wait goes on.
extern "C" void restore_then_stop(int signal_number) {
  const int saved_errno = errno;
  give_terminal_back(TCSANOW);
  install(signal_number, SIG_DFL, 0);
  static_cast<void>(raise(signal_number));
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, signal_number);
  sigprocmask(SIG_UNBLOCK, &signals, nullptr);  // stopped here until continued, or not at all
  if (sigpending(&signals) == 0 && sigismember(&signals, SIGCONT) == 0) {
    catch_stop();
    static_cast<void>(take_terminal(TCSANOW));
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
  // As at the first prompt, keys typed while the game was away do not count.
  if (take_terminal(TCSAFLUSH) && g_prompt_on_screen != 0) {
    // Straight to the descriptor: streams are not safe here, and the prompt is flushed.
    // The carriage return rewrites the old prompt where nothing has come in between; after
    // the shell's "fg" the cursor is already at the start of a line.
    if (write(STDOUT_FILENO, "\r", 1) < 0 ||
        write(STDOUT_FILENO, kPausePrompt.data(), kPausePrompt.size()) < 0) {
      // Nothing to be done about a lost prompt; the key still ends the wait.
    }
  }
  errno = saved_errno;
}

// Holds back the given signals, or all of them, for a scope, so that no handler runs while
// the wait changes what the handlers read.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigfillset(&held);
    sigprocmask(SIG_BLOCK, &held, &previous_);
  }
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

// Whether a signal's default action ends the game, so that the terminal must be put back
// first: all but those that stop, continue or are ignored by default, the two that cannot
// be caught, and the faults of a crash, which stay with whatever reports them (a sanitizer,
// a debugger, a core dump).
bool ends_the_game(int signal_number) {
  switch (signal_number) {
    case SIGKILL:
    case SIGSTOP:
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU:
    case SIGCONT:
    case SIGCHLD:
    case SIGURG:
    case SIGWINCH:
    case SIGSEGV:
    case SIGBUS:
    case SIGFPE:
    case SIGILL:
    case SIGTRAP:
    case SIGSYS:
      return false;
    default:
      return true;
  }
}

// Holds the terminal in single-key, no-echo mode for its lifetime and puts the player's
// settings back on every way out it can see: scope exit, every signal that ends the game
// (Ctrl-C, Ctrl-\, kill, hang-up, timers, real-time signals), and a stop (taking single-key
// mode again when continued). SIGKILL and a crash cannot be seen; `stty sane` mends the
// terminal after them.
class KeyPressMode {
 public:
  KeyPressMode() {
    // Every handler in place before any of them can run: a Ctrl-Z taken by the stop handler
    // before the resume handler exists would leave the game stopped with no one to wake it.
    const SignalsHeld held;
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
      // A signal someone chose to ignore (nohup) stays ignored. Numbers the C library keeps
      // for itself refuse sigaction, and are left alone.
      if (ends_the_game(signal_number) &&
          sigaction(signal_number, nullptr, &previous_[signal_number]) == 0 &&
          previous_[signal_number].sa_handler != SIG_IGN) {
        install(signal_number, restore_then_end, SA_RESETHAND);
        caught_[signal_number] = true;
      }
    }
    for (const int signal_number : {SIGTSTP, SIGCONT}) {
      sigaction(signal_number, nullptr, &previous_[signal_number]);
      caught_[signal_number] = true;
    }
    g_stop_ignored = previous_[SIGTSTP].sa_handler == SIG_IGN ? 1 : 0;
    catch_stop();
    install(SIGCONT, resume_waiting, SA_RESTART);
    g_terminal_taken = 0;
    g_waiting = 1;
    // TCSAFLUSH drops keys typed before the prompt: only a key pressed after it counts. From
    // the background this waits for fg, where resume_waiting does it.
    static_cast<void>(take_terminal(TCSAFLUSH));
  }

  ~KeyPressMode() {
    const SignalsHeld held;
    // From here a resume must not take single-key mode again.
    g_waiting = 0;
    g_prompt_on_screen = 0;
    // Flushing also drops the rest of a key that sends several bytes (arrows, F-keys).
    give_terminal_back(TCSAFLUSH);
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
      if (caught_[signal_number]) {
        sigaction(signal_number, &previous_[signal_number], nullptr);
      }
    }
  }

  KeyPressMode(const KeyPressMode&) = delete;
  KeyPressMode& operator=(const KeyPressMode&) = delete;
  KeyPressMode(KeyPressMode&&) = delete;
  KeyPressMode& operator=(KeyPressMode&&) = delete;

 private:
  struct sigaction previous_[NSIG] = {};
  bool caught_[NSIG] = {};
};

// Straight from the terminal: std::cin still holds the line end after the class answer.
// A read from the background stops the game (SIGTTIN) until fg, and then starts again.
void wait_for_one_byte() {
  char key = 0;
  static_cast<void>(read_input(&key, 1));
}

}  // namespace

// A reader that goes away early (`quorvale < answers | head -3`) must not kill the game:
// with SIGPIPE ignored the write just fails, unnoticed, and the game still exits 0.
void prepare_console() {
  static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
  // Never destroyed, as the runtime flushes std::cout once more after our static objects go.
  static auto* const input = new StandardInput;    // NOLINT(cppcoreguidelines-owning-memory)
  static auto* const output = new StandardOutput;  // NOLINT(cppcoreguidelines-owning-memory)
  std::cin.rdbuf(input);
  std::cout.rdbuf(output);
}

void pause_for_key(std::ostream& out) {
  if (isatty(STDIN_FILENO) == 0) {
    return;  // no player at a terminal: nobody to wait for
  }
  {
    // The prompt comes once the terminal is ready for the key, so a key typed after it
    // counts and Ctrl-Z right after it is already handled.
    const KeyPressMode mode;
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
