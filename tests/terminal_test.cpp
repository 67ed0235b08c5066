#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "expected.h"

namespace quorvale::testing {
namespace {

using namespace std::chrono_literals;

const std::string kPausePrompt = "Press any key to continue . . . ";

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
// one someone opened non-blocking, whose flags the game leaves as they are.
TEST(GameInATerminal, AKeyEndsTheGameWithStatusZero) {
  using Console = ChildProcess::Console;
  const struct {
    const char* name;
    std::vector<std::string> command;
    const char* typed_first;  // at the pause, before the key
    Console console;
    bool hold_output = false;  // with Ctrl-S, as play_to_the_pause says
  } cases[] = {
      {"its own session", {QUORVALE_GAME}, "", Console::kTerminal},
      {"Ctrl-Z with no shell to stop to", {QUORVALE_GAME}, "\x1a", Console::kTerminal},
      {"Ctrl-Z twice with no shell to stop to", {QUORVALE_GAME}, "\x1a\x1a", Console::kTerminal},
      {"not its controlling terminal",
       {"/usr/bin/setsid", "--wait", QUORVALE_GAME},
       "",
       Console::kTerminal},
      {"opened non-blocking", {QUORVALE_GAME}, "", Console::kNonBlockingTerminal},
      {"opened non-blocking, output held",
       {QUORVALE_GAME},
       "",
       Console::kNonBlockingTerminal,
       true},
      {"output held", {QUORVALE_GAME}, "", Console::kTerminal, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ChildProcess game(c.command, c.console);
    termios before{};
    ASSERT_NO_FATAL_FAILURE(play_to_the_pause(game, before, true, c.hold_output));
    if (c.console == Console::kNonBlockingTerminal) {
      EXPECT_NE(input_flags_of(game.pid()) & O_NONBLOCK, 0) << "the game changed the flags";
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
      {"kill", nullptr, SIGRTMIN + 1}, {"kill", nullptr, SIGABRT},
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
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == c.signal_number)
        << "wait status " << *status;
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

// Ctrl-Z at the pause under a job-control shell, then fg, or bg and then fg: while the game
// is stopped the shell has the player's settings, and after fg one key ends the game. With
// its output in a file the prompt is never on screen, so it is not drawn again anywhere.
// Settings the player changes while the game is stopped are the ones it leaves at the end.
// A game started with SIGTSTP ignored ignores Ctrl-Z; one started with SIGTTOU ignored, which
// the kernel would let change the terminal from the background, still leaves it alone there.
TEST(GameUnderAShell, StoppedAtThePauseItGivesTheTerminalBackAndTakesItAgain) {
  const std::vector<std::string> bash = {"/bin/bash", "--norc", "--noprofile", "--noediting",
                                         "-i"};  // without readline it leaves our settings be
  const std::vector<std::string> dash = {"/bin/dash", "-i"};
  const struct {
    const char* name;
    const std::vector<std::string>& shell;
    bool background_first;
    int rounds;  // of Ctrl-Z and fg
    bool output_to_file;
    const char* first;          // typed to the shell before the game
    const char* while_stopped;  // typed to the shell at each stop
  } cases[] = {
      {"bash, fg", bash, false, 1, false, "", ""},
      {"bash, bg then fg", bash, true, 1, false, "", ""},
      {"bash, SIGTTOU ignored, bg then fg", bash, true, 1, false, "trap '' TTOU", ""},
      {"bash, SIGTSTP ignored", bash, false, 0, false, "trap '' TSTP", ""},
      {"dash, fg twice", dash, false, 2, false, "", ""},
      {"dash, bg then fg", dash, true, 1, false, "", ""},
      {"dash, output to a file, fg twice", dash, false, 2, true, "", ""},
      {"dash, settings changed while stopped", dash, false, 1, false, "", "stty -ixon erase '^H'"},
  };
  const std::string prompt = "shell> ";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (access(c.shell.front().c_str(), X_OK) != 0) {
      GTEST_SKIP() << c.shell.front() << " is not installed";
    }
    std::vector<std::string> command = {"/usr/bin/env", "PS1=" + prompt, "HISTFILE=/dev/null"};
    command.insert(command.end(), c.shell.begin(), c.shell.end());
    ChildProcess shell(command, ChildProcess::Console::kTerminal);
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

}  // namespace
}  // namespace quorvale::testing
