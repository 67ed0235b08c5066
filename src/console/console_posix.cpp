#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
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

// The program that started the game, as it was at the start: once it has gone, the terminal
// belongs to whoever is there now (the shell behind `su -c` or `setsid -w`).
pid_t g_starter = 0;

// ---- The pause ----
//
// The pause is one loop. It holds back every signal it handles except while it waits, and
// the handler only records what came; the loop then does what the signal asks, in ordinary
// code: every change to the terminal, the prompt drawn again, the stop and the resume, and
// the end, with the player's settings put back first.

volatile std::sig_atomic_t g_arrived[NSIG] = {};

extern "C" void record_arrival(int signal_number) {
  g_arrived[signal_number] = 1;
}

void install(int signal_number, void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
}

// Returns the mask as it was.
sigset_t block_every_signal() {
  sigset_t every;
  sigset_t before;
  sigfillset(&every);
  sigprocmask(SIG_BLOCK, &every, &before);
  return before;
}

void set_blocked(int signal_number, int how) {
  sigset_t just_this;
  sigemptyset(&just_this);
  sigaddset(&just_this, signal_number);
  sigprocmask(how, &just_this, nullptr);
}

// Whether a signal's default action ends the process, so that the pause must put the
// terminal back before letting it: all but the two that cannot be caught, job control's,
// and those ignored by default.
bool ends_the_process_by_default(int signal_number) {
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
      return false;
    default:
      return true;
  }
}

// Where the game stands at its terminal. A terminal that is not its controlling one (setsid,
// su -c) has no foreground it could be out of, but its keys make no signals for the game.
// A terminal that has hung up counts as the foreground, so that the read finds out.
enum class Place { kForeground, kBackground, kNotControlling };

Place place_at_the_terminal() {
  const pid_t foreground = tcgetpgrp(STDIN_FILENO);
  if (foreground == getpgrp() || (foreground < 0 && errno != ENOTTY)) {
    return Place::kForeground;
  }
  return foreground < 0 ? Place::kNotControlling : Place::kBackground;
}

// Whether the prompt the game wrote is on the player's screen, to be drawn again after a
// stop: with output to the terminal itself or through a pipe (`| tee log`), not in a file.
bool output_reaches_the_screen() {
  struct stat input = {};
  struct stat output = {};
  if (fstat(STDIN_FILENO, &input) != 0 || fstat(STDOUT_FILENO, &output) != 0) {
    return false;
  }
  return S_ISFIFO(output.st_mode) || (S_ISCHR(output.st_mode) && output.st_rdev == input.st_rdev);
}

bool same_settings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

enum class SetResult { kDone, kInBackground, kFailed };

// tcsetattr where that is ours to do. The look at the place could be split from the change
// by a stop and `bg`, so the kernel is made to look as well: with SIGTTOU caught and let
// through for the call, a change from the background fails with EINTR instead of trampling
// on the shell's settings (as it would with SIGTTOU ignored), and the loop here looks again.
SetResult set_terminal(const termios& settings, int when) {
  for (;;) {
    if (place_at_the_terminal() == Place::kBackground) {
      return SetResult::kInBackground;
    }
    set_blocked(SIGTTOU, SIG_UNBLOCK);
    const int result = tcsetattr(STDIN_FILENO, when, &settings);
    const int error = errno;
    set_blocked(SIGTTOU, SIG_BLOCK);
    if (result == 0) {
      return SetResult::kDone;
    }
    if (error != EINTR) {
      return SetResult::kFailed;
    }
  }
}

// Single keys without echo, made from the player's settings. Where the terminal is not the
// game's controlling one, Ctrl-C would signal the program that started the game and not the
// game, so the terminal makes no signals and the loop reads the keys that would.
termios key_press_settings(const termios& players, Place place) {
  termios settings = players;
  tcflag_t cleared = ICANON | ECHO;
  if (place == Place::kNotControlling) {
    cleared |= ISIG;
  }
  settings.c_lflag &= ~cleared;
  settings.c_cc[VMIN] = 1;  // not 0: a shell left with these settings would read an end
  settings.c_cc[VTIME] = 0;
  return settings;
}

class Pause {
 public:
  explicit Pause(std::ostream& out);
  ~Pause();
  Pause(const Pause&) = delete;
  Pause& operator=(const Pause&) = delete;
  Pause(Pause&&) = delete;
  Pause& operator=(Pause&&) = delete;

  // True if a key ended it; false if the terminal hung up or the starter went.
  bool wait_for_key();

 private:
  enum class Woken { kByInput, kByHangUp, kByNothing };
  enum class Read { kKey, kNothing, kEnd };

  static bool starter_has_gone() {
    return getppid() != g_starter;
  }
  bool take_terminal(Place place);
  void give_terminal_back(int when);
  void give_back_unless_changed();
  bool act_on_arrivals();
  void act_on_arrival(int signal_number);
  void let_act(int signal_number, const struct sigaction& action);
  void stop_as_a_read_would();
  Woken wait(Place place);
  Read read_a_key(Place place);

  std::ostream& out_;
  sigset_t inherited_mask_ = {};
  sigset_t wait_mask_ = {};  // the inherited one, with every signal the pause handles let in
  struct sigaction previous_[NSIG] = {};
  bool caught_[NSIG] = {};
  termios players_settings_ = {};
  termios applied_settings_ = {};
  bool holding_ = false;  // the player's settings are saved, and ours to put back
  bool applied_ = false;  // the terminal is known to be in single-key mode now
  bool prompt_on_screen_ = false;
  bool redraw_due_ = false;
};

// Every handler in place, and the mask the pause needs, before any signal can arrive. A
// signal someone chose to ignore (nohup) stays ignored; numbers the C library keeps for
// itself refuse sigaction and are left alone. SIGTTOU is caught, whatever it was, for
// set_terminal's sake.
Pause::Pause(std::ostream& out)
    : out_(out), inherited_mask_(block_every_signal()), wait_mask_(inherited_mask_) {
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    if (sigaction(signal_number, nullptr, &previous_[signal_number]) != 0) {
      continue;
    }
    const bool ignored = previous_[signal_number].sa_handler == SIG_IGN;
    const bool handled = ends_the_process_by_default(signal_number) || signal_number == SIGTSTP;
    if ((handled && !ignored) || signal_number == SIGCONT || signal_number == SIGTTOU) {
      g_arrived[signal_number] = 0;
      install(signal_number, record_arrival);
      caught_[signal_number] = true;
      sigdelset(&wait_mask_, signal_number);
    }
  }
}

Pause::~Pause() {
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    if (caught_[signal_number]) {
      sigaction(signal_number, &previous_[signal_number], nullptr);
    }
  }
  sigprocmask(SIG_SETMASK, &inherited_mask_, nullptr);
}

bool Pause::wait_for_key() {
  // The prompt comes once the terminal is ready for the key, so a key typed after it counts
  // and a Ctrl-Z right after it is already handled.
  if (const Place place = place_at_the_terminal();
      starter_has_gone() || (place != Place::kBackground && !take_terminal(place))) {
    return false;
  }
  out_ << kPausePrompt << std::flush;
  prompt_on_screen_ = output_reaches_the_screen();
  for (;;) {
    if (starter_has_gone()) {
      give_back_unless_changed();
      return false;
    }
    if (act_on_arrivals()) {
      continue;  // the place may have changed
    }
    const Place place = place_at_the_terminal();
    if (place == Place::kBackground) {
      stop_as_a_read_would();
    } else if (!applied_) {
      if (!take_terminal(place)) {
        return false;  // a terminal that cannot be set: it has hung up
      }
      continue;
    } else if (redraw_due_) {
      // The carriage return rewrites the old prompt where nothing has come in between;
      // after the shell's "fg" the cursor is already at the start of a line.
      redraw_due_ = false;
      out_ << '\r' << kPausePrompt << std::flush;
    }
    switch (wait(place)) {
      case Woken::kByHangUp:
        give_terminal_back(TCSANOW);
        return false;
      case Woken::kByNothing:
        break;
      case Woken::kByInput:
        if (starter_has_gone()) {
          break;  // the terminal is no longer the game's to read
        }
        if (const Read read = read_a_key(place); read != Read::kNothing) {
          give_terminal_back(TCSAFLUSH);  // flushing drops the rest of an arrow's bytes
          return read == Read::kKey;
        }
        break;
    }
  }
}

// Once the starter has gone, settings that someone changed since are not given back: a
// shell that took the terminal back has set its own.
void Pause::give_back_unless_changed() {
  termios now = {};
  if (applied_ && tcgetattr(STDIN_FILENO, &now) == 0 && same_settings(now, applied_settings_)) {
    give_terminal_back(TCSANOW);
  }
}

// Acts on each signal that came, lowest number first; false if none did.
bool Pause::act_on_arrivals() {
  bool arrived = false;
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    if (g_arrived[signal_number] != 0) {
      g_arrived[signal_number] = 0;
      arrived = true;
      act_on_arrival(signal_number);
    }
  }
  return arrived;
}

// Takes single-key mode from the foreground, or where the terminal is not the game's
// controlling one; false if the terminal cannot be set at all. After the settings were given
// back it starts from those the terminal has now (stty while the game was stopped); after a
// continue that found them changed behind its back (kill -STOP), from those it saved.
bool Pause::take_terminal(Place place) {
  if (!holding_ && tcgetattr(STDIN_FILENO, &players_settings_) != 0) {
    return false;
  }
  // TCSAFLUSH: keys typed before the prompt, or while the game was away, do not count.
  const termios settings = key_press_settings(players_settings_, place);
  switch (set_terminal(settings, TCSAFLUSH)) {
    case SetResult::kDone:
      applied_settings_ = settings;
      holding_ = true;
      applied_ = true;
      return true;
    case SetResult::kInBackground:
      return true;
    case SetResult::kFailed:
      break;
  }
  return false;
}

void Pause::give_terminal_back(int when) {
  if (holding_ && set_terminal(players_settings_, when) == SetResult::kDone) {
    holding_ = false;
    applied_ = false;
  }
}

void Pause::act_on_arrival(int signal_number) {
  if (signal_number == SIGTSTP) {
    // Ctrl-Z: the player's settings go back before the stop, or a shell that does not save
    // them (dash) is left without echo. Then the default action stops the game here. Where
    // no shell can ever continue it (the game run as a terminal's own program: an orphaned
    // process group) the kernel drops the stop, and the wait goes on.
    give_terminal_back(TCSANOW);
    struct sigaction stop = {};
    stop.sa_handler = SIG_DFL;
    let_act(SIGTSTP, stop);
  } else if (signal_number == SIGCONT) {
    // Continued: the shell has had the terminal and set it its own way.
    applied_ = false;
    redraw_due_ = prompt_on_screen_;
  } else if (signal_number != SIGTTOU) {  // SIGTTOU: a change tried from the background
    // An ending signal: the settings go back, then the signal does what it would have done
    // without the pause: its default action, or the handler that was there before (a
    // sanitizer's). Should that handler return, the wait goes on.
    give_terminal_back(TCSANOW);
    let_act(signal_number, previous_[signal_number]);
  }
}

// Lets a signal that the pause holds back act now, with `action`.
void Pause::let_act(int signal_number, const struct sigaction& action) {
  sigaction(signal_number, &action, nullptr);
  static_cast<void>(raise(signal_number));
  set_blocked(signal_number, SIG_UNBLOCK);  // it acts here: an end, a stop until continued
  set_blocked(signal_number, SIG_BLOCK);
  if (caught_[signal_number]) {
    install(signal_number, record_arrival);
  }
}

// In the background the terminal is the shell's: a read there would stop the game (SIGTTIN)
// until fg, so the game stops itself the same way. Not while a signal waits to be handled:
// stopped, the game would hold it back until the next continue (bash's `kill %1` sends
// SIGTERM, then SIGCONT). With SIGTTIN ignored a read would fail instead, so the game
// neither reads nor stops, and wait looks for the foreground again.
void Pause::stop_as_a_read_would() {
  sigset_t pending;
  if (previous_[SIGTTIN].sa_handler == SIG_IGN || sigpending(&pending) != 0) {
    return;
  }
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    if (caught_[signal_number] && sigismember(&pending, signal_number) == 1) {
      return;
    }
  }
  let_act(SIGTTIN, previous_[SIGTTIN]);
}

// Waits for a key, a hang-up or a signal. In the background the input is someone else's,
// so only a hang-up is watched there. Where nothing would say that the place changed, the
// loop looks again ten times a second: bash's fg sends no signal to a job that is already
// running, and a starter that goes sends none either.
Pause::Woken Pause::wait(Place place) {
  pollfd input{STDIN_FILENO, static_cast<short>(place == Place::kBackground ? 0 : POLLIN), 0};
  const timespec tenth{0, 100'000'000};
  const int ready = ppoll(&input, 1, place == Place::kForeground ? nullptr : &tenth, &wait_mask_);
  if (ready <= 0) {
    return Woken::kByNothing;
  }
  if ((input.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
    return Woken::kByHangUp;
  }
  return Woken::kByInput;
}

// The signal a terminal with these settings makes of a typed byte, or 0.
int signal_typed(const termios& settings, unsigned char byte) {
  const cc_t* special = settings.c_cc;
  if ((settings.c_lflag & ISIG) == 0 || byte == _POSIX_VDISABLE) {
    return 0;
  }
  if (byte == special[VINTR]) {
    return SIGINT;
  }
  if (byte == special[VQUIT]) {
    return SIGQUIT;
  }
  return byte == special[VSUSP] ? SIGTSTP : 0;
}

// Reads what came: the key, nothing after all, or the input's end (a hang-up). Any byte is the key,
// but on a terminal that is not the game's controlling one, where the loop reads the keys that
// would have made signals: Ctrl-C and Ctrl-\ end the game with the status a shell gives their
// signals (130, 131), as launchers such as `setsid -w` report a death by a signal as a
// failure of their own; Ctrl-Z does nothing, as there is no shell of the game's to stop to.
Pause::Read Pause::read_a_key(Place place) {
  // Signals are let in for the read as for the wait: should someone else have taken the
  // input since, the read waits too, and a signal ends it with EINTR.
  unsigned char byte = 0;
  sigprocmask(SIG_SETMASK, &wait_mask_, nullptr);
  const ssize_t got = read(STDIN_FILENO, &byte, 1);
  const int error = errno;
  static_cast<void>(block_every_signal());
  if (got < 0) {
    // EIO from the background (a race with `bg`, SIGTTIN ignored) is no hang-up.
    const bool again = error == EAGAIN || error == EWOULDBLOCK || error == EINTR ||
                       (error == EIO && place_at_the_terminal() == Place::kBackground);
    return again ? Read::kNothing : Read::kEnd;
  }
  if (got == 0) {
    return Read::kEnd;
  }
  const int signal_number =
      place == Place::kNotControlling ? signal_typed(players_settings_, byte) : 0;
  if (signal_number == 0) {
    return Read::kKey;
  }
  if (signal_number != SIGTSTP && caught_[signal_number]) {  // not where it is ignored
    give_terminal_back(TCSANOW);
    _exit(128 + signal_number);
  }
  return Read::kNothing;
}

}  // namespace

// A reader that goes away early (`quorvale < answers | head -3`) must not kill the game:
// with SIGPIPE ignored the write just fails, unnoticed, and the game still exits 0.
void prepare_console() {
  static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
  g_starter = getppid();
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
  bool key = false;
  {
    Pause pause(out);
    key = pause.wait_for_key();
  }
  if (key) {
    out << '\n' << std::flush;
  }
}

}  // namespace quorvale
