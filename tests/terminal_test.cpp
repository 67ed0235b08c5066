#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "expected.h"

namespace quorvale::testing {
namespace {

using namespace std::chrono_literals;

const std::string kPausePrompt = "Press any key to continue . . . ";

// AddressSanitizer's own handlers report SIGSEGV, SIGBUS and SIGFPE, and exit.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizerCatchesFaults = true;
#else
constexpr bool kSanitizerCatchesFaults = false;
#endif

// The terminal turns each line end the game writes into CR LF.
std::string on_screen(std::string text) {
  for (auto at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) {
    text.insert(at, "\r");
  }
  return text;
}

// A transcript's last `count` lines, as the terminal shows them.
std::string last_lines_on_screen(const std::string& transcript, int count) {
  std::size_t at = transcript.size() - 1;
  for (int line = 0; line < count; ++line) {
    at = transcript.rfind('\n', at - 1);
  }
  return on_screen(transcript.substr(at + 1));
}

// The closing banner, and the pause's prompt after it.
const std::string kWaitingScreen =
    last_lines_on_screen(transcript_of(case_character("three_lines"), 1), 1) + kPausePrompt;

termios settings_of(int terminal) {
  termios settings{};
  EXPECT_EQ(tcgetattr(terminal, &settings), 0);
  return settings;
}

void expect_same_settings(const termios& after, const termios& before) {
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_TRUE(std::equal(std::begin(after.c_cc), std::end(after.c_cc), std::begin(before.c_cc)));
}

// Whether the screen ends with the transcript's last three lines (the arrival, the fate and
// the closing banner), with any fate, and the pause's prompt.
bool ends_with_the_ending(const std::string& screen) {
  for (int fate = 1; fate <= static_cast<int>(fate_texts().size()); ++fate) {
    const std::string ending =
        last_lines_on_screen(transcript_of(case_character("three_lines"), fate), 3) + kPausePrompt;
    if (screen.size() >= ending.size() &&
        screen.compare(screen.size() - ending.size(), ending.size(), ending) == 0) {
      return true;
    }
  }
  return false;
}

// Plays up to the pause in a pseudo-terminal and checks the game is waiting for a key.
// The stray "x" typed before the prompt must not count as that key. With `hold_output`, the
// player holds the output back with Ctrl-S after the first prompt and lets it go after the
// answers. Where the terminal is not the game's controlling one its keys must make no
// signals, which would reach the program that started the game instead.
void play_to_the_pause(ChildProcess& game, termios& settings_before, bool controlling = true,
                       bool hold_output = false) {
  ASSERT_TRUE(game.read_until(on_screen(prompts().at(0) + '\n'), 5s)) << game.output();
  settings_before = settings_of(game.terminal_fd());
  std::this_thread::sleep_for(100ms);  // a player takes a moment: the game must wait for it
  if (hold_output) {
    game.write("\x13");  // Ctrl-S
    game.write("Ann\nLee\n2\nx");
    EXPECT_FALSE(game.read_until(kPausePrompt, 500ms)) << "Ctrl-S held nothing back";
    game.write("\x11");  // Ctrl-Q
  } else {
    game.write("Ann\nLee\n2\nx");
  }
  ASSERT_TRUE(game.read_until(kWaitingScreen, 5s)) << game.output();
  EXPECT_TRUE(ends_with_the_ending(game.output())) << game.output();
  EXPECT_FALSE(game.wait_for_exit(300ms).has_value()) << "the game did not wait for a key";
  const termios waiting = settings_of(game.terminal_fd());
  EXPECT_EQ(waiting.c_lflag & (ICANON | ECHO), 0u) << "not reading single keys without echo";
  EXPECT_EQ((waiting.c_lflag & ISIG) != 0, controlling) << "Ctrl-C must still end the game";
}

// The flags of the game's standard input, as the kernel holds them for its descriptor 0.
int input_flags_of(pid_t game) {
  std::ifstream info("/proc/" + std::to_string(game) + "/fdinfo/0");
  std::string field;
  std::string octal;
  while (info >> field >> octal && field != "flags:") {
  }
  return field == "flags:" ? std::stoi(octal, nullptr, 8) : -1;
}

// One unechoed key ends the pause with status 0 and leaves the player's settings as they
// were: in the game's own session, where no shell can stop it (a terminal window running the
// game, tmux, ssh -t), on a terminal that is not its controlling one (setsid, su -c), and on
// one someone opened non-blocking, whose flags the game leaves as they are. Signals that end
// nothing by default, and one ignored when the game started (nohup), must not end it either.
TEST(GameInATerminal, AKeyEndsTheGameWithStatusZero) {
  using Console = ChildProcess::Console;
  const std::string game_path = QUORVALE_GAME;
  const struct {
    const char* name;
    std::vector<std::string> command;
    std::vector<int> signals;  // sent at the pause, before the key
    const char* typed_first;   // likewise
    Console console;
    bool hold_output = false;  // with Ctrl-S, as play_to_the_pause says
  } cases[] = {
      {"its own session", {game_path}, {}, "", Console::kTerminal},
      {"Ctrl-Z with no shell to stop to", {game_path}, {}, "\x1a", Console::kTerminal},
      {"Ctrl-Z twice with no shell to stop to", {game_path}, {}, "\x1a\x1a", Console::kTerminal},
      {"not its controlling terminal",
       {"/usr/bin/setsid", "--wait", game_path},
       {},
       "",
       Console::kTerminal},
      {"opened non-blocking", {game_path}, {}, "", Console::kNonBlockingTerminal},
      {"opened non-blocking, output held",
       {game_path},
       {},
       "",
       Console::kNonBlockingTerminal,
       true},
      {"output held", {game_path}, {}, "", Console::kTerminal, true},
      {"a resize, a child's end, urgent data",
       {game_path},
       {SIGWINCH, SIGCHLD, SIGURG},
       "",
       Console::kTerminal},
      {"SIGHUP ignored, as nohup starts it",
       {"/bin/sh", "-c", "trap '' HUP; exec " + game_path},
       {SIGHUP},
       "",
       Console::kTerminal},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ChildProcess game(c.command, c.console);
    termios before{};
    const bool controlling = c.command.front() != "/usr/bin/setsid";
    ASSERT_NO_FATAL_FAILURE(play_to_the_pause(game, before, controlling, c.hold_output));
    if (c.console == Console::kNonBlockingTerminal) {
      EXPECT_NE(input_flags_of(game.pid()) & O_NONBLOCK, 0) << "the game changed the flags";
    }
    for (const int signal_number : c.signals) {
      kill(game.pid(), signal_number);
      std::this_thread::sleep_for(100ms);
    }
    for (const char* key = c.typed_first; *key != '\0'; ++key) {
      game.write(std::string(1, *key));
      std::this_thread::sleep_for(200ms);
    }
    EXPECT_FALSE(game.wait_for_exit(0ms).has_value()) << "the game ended before the key";
    EXPECT_EQ(settings_of(game.terminal_fd()).c_lflag & (ICANON | ECHO), 0u)
        << "the pause no longer takes one key without echo";
    game.write("k");
    const auto status = game.wait_for_exit(5s);
    ASSERT_TRUE(status.has_value()) << "a key did not end the game";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status;
    EXPECT_TRUE(game.read_until(kWaitingScreen + "\r\n", 1s)) << game.output();
    expect_same_settings(settings_of(game.terminal_fd()), before);
  }
}

TEST(GameInATerminal, ASignalDuringThePauseRestoresTheTerminal) {
  const struct {
    const char* name;
    const char* typed;  // a key that makes the terminal send the signal, or nothing
    int signal_number;
  } cases[] = {
      {"Ctrl-C", "\x03", SIGINT},      {"Ctrl-\\", "\x1c", SIGQUIT}, {"kill", nullptr, SIGTERM},
      {"hang-up", nullptr, SIGHUP},    {"kill", nullptr, SIGQUIT},   {"kill", nullptr, SIGALRM},
      {"kill", nullptr, SIGUSR1},      {"kill", nullptr, SIGUSR2},   {"kill", nullptr, SIGXCPU},
      {"kill", nullptr, SIGXFSZ},      {"kill", nullptr, SIGVTALRM}, {"kill", nullptr, SIGPROF},
      {"kill", nullptr, SIGRTMIN + 1}, {"kill", nullptr, SIGABRT},   {"kill", nullptr, SIGSEGV},
      {"kill", nullptr, SIGBUS},       {"kill", nullptr, SIGFPE},    {"kill", nullptr, SIGILL},
      {"kill", nullptr, SIGTRAP},      {"kill", nullptr, SIGSYS},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ", signal " + std::to_string(c.signal_number));
    ChildProcess game({QUORVALE_GAME}, ChildProcess::Console::kTerminal);
    termios before{};
    ASSERT_NO_FATAL_FAILURE(play_to_the_pause(game, before));
    if (c.typed != nullptr) {
      game.write(c.typed);
    } else {
      kill(game.pid(), c.signal_number);
    }
    const auto status = game.wait_for_exit(5s);
    ASSERT_TRUE(status.has_value()) << "the signal did not end the game";
    if (kSanitizerCatchesFaults &&
        (c.signal_number == SIGSEGV || c.signal_number == SIGBUS || c.signal_number == SIGFPE)) {
      // The handler that was there before the pause has its say: the sanitizer's report.
      EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) != 0) << "wait status " << *status;
    } else {
      EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == c.signal_number)
          << "wait status " << *status;
    }
    expect_same_settings(settings_of(game.terminal_fd()), before);
  }
}

// Polls the terminal until the game has it in single-key, no-echo mode, which is all a
// player whose screen shows no prompt (output to a file) has to go by.
bool wait_for_single_keys(int terminal, milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while ((settings_of(terminal).c_lflag & (ICANON | ECHO)) != 0) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

const std::vector<std::string> kBash = {"/bin/bash", "--norc", "--noprofile", "--noediting",
                                        "-i"};  // without readline it leaves our settings be
const std::vector<std::string> kDash = {"/bin/dash", "-i"};

// An interactive shell that prompts with `prompt`, and keeps no history.
std::vector<std::string> shell_command(const std::vector<std::string>& shell,
                                       const std::string& prompt) {
  std::vector<std::string> command = {"/usr/bin/env", "PS1=" + prompt, "HISTFILE=/dev/null"};
  command.insert(command.end(), shell.begin(), shell.end());
  return command;
}

// Ctrl-Z at the pause under a job-control shell, then fg, or bg and then fg: while the game
// is stopped the shell has the player's settings, and after fg one key ends the game. With
// its output in a file the prompt is never on screen, so it is not drawn again anywhere.
// Settings the player changes while the game is stopped are the ones it leaves at the end.
// A game started with SIGTSTP ignored ignores Ctrl-Z; one started with SIGTTOU ignored, which
// the kernel would let change the terminal from the background, still leaves it alone there.
TEST(GameUnderAShell, StoppedAtThePauseItGivesTheTerminalBackAndTakesItAgain) {
  const struct {
    const char* name;
    const std::vector<std::string>& shell;
    bool background_first;
    int rounds;  // of Ctrl-Z and fg
    bool output_to_file;
    const char* first;          // typed to the shell before the game
    const char* while_stopped;  // typed to the shell at each stop
  } cases[] = {
      {"bash, fg", kBash, false, 1, false, "", ""},
      {"bash, bg then fg", kBash, true, 1, false, "", ""},
      {"bash, SIGTTOU ignored, bg then fg", kBash, true, 1, false, "trap '' TTOU", ""},
      {"bash, SIGTSTP ignored", kBash, false, 0, false, "trap '' TSTP", ""},
      {"dash, fg twice", kDash, false, 2, false, "", ""},
      {"dash, bg then fg", kDash, true, 1, false, "", ""},
      {"dash, output to a file, fg twice", kDash, false, 2, true, "", ""},
      {"dash, settings changed while stopped", kDash, false, 1, false, "", "stty -ixon erase '^H'"},
  };
  const std::string prompt = "shell> ";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (access(c.shell.front().c_str(), X_OK) != 0) {
      GTEST_SKIP() << c.shell.front() << " is not installed";
    }
    ChildProcess shell(shell_command(c.shell, prompt), ChildProcess::Console::kTerminal);
    ASSERT_TRUE(shell.read_until_next(prompt, 5s)) << shell.output();
    if (*c.first != '\0') {
      shell.write(std::string(c.first) + "\n");
      ASSERT_TRUE(shell.read_until_next(prompt, 5s)) << shell.output();
    }
    termios players = settings_of(shell.terminal_fd());

    char log_name[] = "/tmp/quorvale-log-XXXXXX";
    const int log = mkstemp(log_name);
    ASSERT_GE(log, 0);
    close(log);
    const std::string redirect = c.output_to_file ? std::string(" >") + log_name : "";
    shell.write(std::string(QUORVALE_GAME) + redirect + "\n");
    if (!c.output_to_file) {
      ASSERT_TRUE(shell.read_until(on_screen(prompts().at(0) + '\n'), 5s)) << shell.output();
    }
    shell.write("Ann Lee 2\n");
    // Ready for the key, and for Ctrl-Z, once in single-key mode with the prompt drawn.
    const auto wait_for_the_pause = [&] {
      return wait_for_single_keys(shell.terminal_fd(), 5s) &&
             (c.output_to_file || shell.read_until(kPausePrompt, 5s));
    };
    ASSERT_TRUE(wait_for_the_pause()) << shell.output();

    if (c.rounds == 0) {
      shell.write("\x1a");
      EXPECT_FALSE(shell.read_until_next(prompt, 500ms)) << "Ctrl-Z stopped the game";
    }
    for (int round = 1; round <= c.rounds; ++round) {
      SCOPED_TRACE("round " + std::to_string(round));
      shell.write("\x1a");  // Ctrl-Z
      ASSERT_TRUE(shell.read_until_next(prompt, 5s)) << shell.output();
      expect_same_settings(settings_of(shell.terminal_fd()), players);
      if (*c.while_stopped != '\0') {
        shell.write(std::string(c.while_stopped) + "\n");
        ASSERT_TRUE(shell.read_until_next(prompt, 5s)) << shell.output();
        players = settings_of(shell.terminal_fd());
      }
      if (c.background_first) {
        const auto since_bg = shell.output().size();
        shell.write("bg\n");
        ASSERT_TRUE(shell.read_until_next(prompt, 5s)) << shell.output();
        // Continued in the background, the game must stop again at its read and leave the
        // terminal, and the shell's screen, to the shell.
        std::this_thread::sleep_for(300ms);
        shell.write("jobs\n");
        ASSERT_TRUE(shell.read_until_next(prompt, 5s)) << shell.output();
        EXPECT_NE(shell.output().find("Stopped", since_bg), std::string::npos) << shell.output();
        EXPECT_EQ(shell.output().find(kPausePrompt, since_bg), std::string::npos)
            << "drawn from the background:\n"
            << shell.output();
        expect_same_settings(settings_of(shell.terminal_fd()), players);
      }
      shell.write("fg\n");
      ASSERT_TRUE(wait_for_the_pause()) << "single-key mode not taken again:\n" << shell.output();
      EXPECT_EQ(settings_of(shell.terminal_fd()).c_iflag, players.c_iflag)
          << "single-key mode not made from the player's settings of now";
    }
    shell.write("k");
    ASSERT_TRUE(shell.read_until_next(prompt, 5s)) << "a key did not end the game";
    shell.write("echo status=$?\n");
    EXPECT_TRUE(shell.read_until("status=0\r\n" + prompt, 5s)) << shell.output();
    expect_same_settings(settings_of(shell.terminal_fd()), players);
    if (c.output_to_file) {
      EXPECT_EQ(shell.output().find(kPausePrompt), std::string::npos) << shell.output();
      // The prompt once, as written, and the key's line end.
      EXPECT_TRUE(matches_transcript(read_file(log_name), case_character("three_lines"),
                                     kPausePrompt + "\n"))
          << read_file(log_name);
    }
    static_cast<void>(unlink(log_name));
    shell.write("exit\n");
  }
}

// What /proc says of a process, from its state on: state, parent, ..., CPU time at 11 and 12.
std::vector<std::string> process_fields(pid_t pid) {
  const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
  std::istringstream after_name(stat.substr(std::min(stat.size(), stat.rfind(')') + 1)));
  return {std::istream_iterator<std::string>(after_name), std::istream_iterator<std::string>()};
}

bool is_running(pid_t pid) {
  const std::vector<std::string> fields = process_fields(pid);
  return !fields.empty() && fields[0] != "Z";
}

// The process running `game` below `ancestor` (a launcher's child or grandchild), or -1.
pid_t game_below(pid_t ancestor, const std::string& game) {
  const std::string task = std::to_string(ancestor);
  std::ifstream children("/proc/" + task + "/task/" + task + "/children");
  for (pid_t child = 0; children >> child;) {
    char exe[4096] = "";
    if (readlink(("/proc/" + std::to_string(child) + "/exe").c_str(), exe, sizeof exe - 1) > 0 &&
        exe == game) {
      return child;
    }
    if (const pid_t below = game_below(child, game); below > 0) {
      return below;
    }
  }
  return -1;
}

// The game started by another program at bash, and what a player does there at the pause.
// However it ends, the game must end as the player meant, with the shell's settings as they
// were, and leave nothing running that could take a line typed to the shell.
TEST(GameUnderAShell, LaunchersAndHostileStartsNeitherBreakThePauseNorOutliveIt) {
  // su's user must be able to run the game: a copy in a folder everyone can read.
  char folder[] = "/tmp/quorvale-launch-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string game = std::string(folder) + "/quorvale";
  std::ofstream(game, std::ios::binary) << read_file(QUORVALE_GAME);
  ASSERT_EQ(chmod(folder, 0755) | chmod(game.c_str(), 0755), 0);
  // Perl, Debian's own, starts the game with a signal blocked or ignored.
  const auto through_perl = [&](const std::string& first) {
    return "perl -MPOSIX -e '" + first + " or die; exec @ARGV' " + game;
  };
  const std::string blocked = "sigprocmask(SIG_BLOCK, POSIX::SigSet->new(";

  enum class Step {
    kKeys,         // typed to the game, which goes on waiting
    kToShell,      // typed, and the shell's prompt comes back
    kFg,           // fg: single-key mode again, and the prompt drawn again
    kSigstop,      // kill -STOP from outside, which no program can catch
    kKillStarter,  // the game's parent killed
    kIdle,         // next to no CPU for a second
  };
  using Steps = std::vector<std::pair<Step, const char*>>;
  const Steps stop_then_fg = {{Step::kToShell, "\x1a"}, {Step::kFg, ""}, {Step::kToShell, "k"}};
  const struct {
    const char* name;
    std::string command;
    Steps at_the_pause;
    int status;               // $? when the game has ended
    bool under_dash = false;  // which, unlike bash, puts back no settings of its own
  } cases[] = {
      {"setsid -w, Ctrl-C", "setsid -w " + game, {{Step::kToShell, "\x03"}}, 130},
      {"setsid -w, Ctrl-\\", "setsid -w " + game, {{Step::kToShell, "\x1c"}}, 131},
      {"setsid -w, Ctrl-Z", "setsid -w " + game, {{Step::kKeys, "\x1a"}, {Step::kToShell, "k"}}, 0},
      {"setsid -w, killed", "setsid -w " + game, {{Step::kKillStarter, ""}}, 128 + SIGKILL},
      {"su -c, Ctrl-C", "su -s /bin/sh -c " + game + " nobody", {{Step::kToShell, "\x03"}}, 130},
      {"SIGCONT blocked", through_perl(blocked + "SIGCONT))"), stop_then_fg, 0},
      {"SIGTSTP blocked", through_perl(blocked + "SIGTSTP))"), stop_then_fg, 0},
      {"SIGTTIN ignored, bg then fg",
       through_perl("($SIG{TTIN} = q(IGNORE))"),
       {{Step::kToShell, "\x1a"},
        {Step::kToShell, "bg\n"},
        {Step::kIdle, ""},
        {Step::kFg, ""},
        {Step::kToShell, "k"}},
       0},
      {"through a pipe", game + " | cat", stop_then_fg, 0},
      // By then the game has stopped itself again, as a read from the background would.
      {"kill -STOP, bg, kill",
       game,
       {{Step::kSigstop, ""}, {Step::kToShell, "bg; sleep 0.5; kill %1\n"}},
       0},
      {"kill -STOP, fg",
       game,
       {{Step::kSigstop, ""}, {Step::kFg, ""}, {Step::kToShell, "k"}},
       0,
       true},
  };
  const std::string prompt = "shell> ";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.command.compare(0, 3, "su ") == 0 && getuid() != 0) {
      std::cout << "[ SKIPPED  ] " << c.name << ": su needs root here\n";
      continue;
    }
    ChildProcess shell(shell_command(c.under_dash ? kDash : kBash, prompt),
                       ChildProcess::Console::kTerminal);
    ASSERT_TRUE(shell.read_until_next(prompt, 5s)) << shell.output();
    const termios players = settings_of(shell.terminal_fd());
    shell.write(c.command + "\n");
    ASSERT_TRUE(shell.read_until(on_screen(prompts().at(0) + '\n'), 5s)) << shell.output();
    shell.write("Ann Lee 2\n");
    ASSERT_TRUE(wait_for_single_keys(shell.terminal_fd(), 5s)) << shell.output();
    ASSERT_TRUE(shell.read_until(kPausePrompt, 5s)) << shell.output();
    const pid_t game_pid = game_below(shell.pid(), game);
    ASSERT_GT(game_pid, 0) << "no game below the shell";

    for (const auto& [step, text] : c.at_the_pause) {
      SCOPED_TRACE(text);
      if (step == Step::kKeys) {
        shell.write(text);
        std::this_thread::sleep_for(200ms);
        EXPECT_TRUE(is_running(game_pid)) << "the game ended";
      } else if (step == Step::kFg) {
        std::this_thread::sleep_for(200ms);  // the shell reads the terminal as the game left it
        shell.write("fg\n");
        ASSERT_TRUE(wait_for_single_keys(shell.terminal_fd(), 5s)) << shell.output();
        ASSERT_TRUE(shell.read_until_next("\r" + kPausePrompt, 5s)) << "not drawn again";
      } else if (step == Step::kIdle) {
        const auto cpu_ticks = [&] {
          const std::vector<std::string> fields = process_fields(game_pid);
          return std::stol(fields.at(11)) + std::stol(fields.at(12));
        };
        const long before = cpu_ticks();
        std::this_thread::sleep_for(1s);
        EXPECT_LT(cpu_ticks() - before, sysconf(_SC_CLK_TCK) / 20) << "busy while it waits";
      } else {  // each of these brings the shell's prompt back
        if (step == Step::kSigstop) {
          kill(game_pid, SIGSTOP);
        } else if (step == Step::kKillStarter) {
          kill(std::stoi(process_fields(game_pid).at(1)), SIGKILL);  // its parent
        }
        shell.write(text);
        ASSERT_TRUE(shell.read_until_next(prompt, 5s)) << shell.output();
      }
    }
    // The shell's next line arrives whole, to the shell.
    const std::size_t before_echo = shell.output().size();
    shell.write("echo status=$?\n");
    EXPECT_TRUE(shell.read_until_next(prompt, 5s)) << shell.output();
    EXPECT_NE(shell.output().find("\nstatus=" + std::to_string(c.status) + "\r\n", before_echo),
              std::string::npos)
        << shell.output();
    expect_same_settings(settings_of(shell.terminal_fd()), players);
    for (int tries = 0; tries < 40 && is_running(game_pid); ++tries) {  // 2 s
      std::this_thread::sleep_for(50ms);
    }
    EXPECT_FALSE(is_running(game_pid)) << "the game outlived its launcher";
    shell.write("exit\n");
  }
  static_cast<void>(unlink(game.c_str()));
  static_cast<void>(rmdir(folder));
}

}  // namespace
}  // namespace quorvale::testing
