#include <signal.h>
#include <sys/wait.h>
#include <termios.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <thread>

#include "child_process.h"

namespace quorvale::testing {
namespace {

using namespace std::chrono_literals;

// The terminal turns each line end the game writes into CR LF.
constexpr const char* kWaitingScreen =
    "*****Game Over*****\r\n"
    "Press any key to continue . . . ";

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

// Plays up to the pause in a pseudo-terminal and checks the game is waiting for a key.
// The stray "x" typed before the prompt must not count as that key.
void play_to_the_pause(ChildProcess& game, termios& settings_before) {
  ASSERT_TRUE(game.read_until("Please enter your character's first name:\r\n", 5s))
      << game.output();
  settings_before = settings_of(game.terminal_fd());
  game.write("Ann\nLee\n2\nx");
  ASSERT_TRUE(game.read_until(kWaitingScreen, 5s)) << game.output();
  EXPECT_NE(game.output().find("\r\nAnn Lee, Engineer has arrived.\r\nAnn Lee, Engineer has "),
            std::string::npos)
      << game.output();
  EXPECT_FALSE(game.wait_for_exit(300ms).has_value()) << "the game did not wait for a key";
  const termios waiting = settings_of(game.terminal_fd());
  EXPECT_EQ(waiting.c_lflag & (ICANON | ECHO), 0u) << "not reading single keys without echo";
  EXPECT_NE(waiting.c_lflag & ISIG, 0u) << "Ctrl-C must still work";
}

TEST(GameInATerminal, AKeyEndsTheGameWithStatusZero) {
  ChildProcess game(QUORVALE_GAME, ChildProcess::Console::kTerminal);
  termios before{};
  ASSERT_NO_FATAL_FAILURE(play_to_the_pause(game, before));
  game.write("k");
  const auto status = game.wait_for_exit(5s);
  ASSERT_TRUE(status.has_value()) << "a key did not end the game";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status;
  EXPECT_TRUE(game.read_until(std::string(kWaitingScreen) + "\r\n", 1s)) << game.output();
  expect_same_settings(settings_of(game.terminal_fd()), before);
}

TEST(GameInATerminal, ASignalDuringThePauseRestoresTheTerminal) {
  const struct {
    const char* name;
    const char* typed;  // a key that makes the terminal send the signal, or nothing
    int signal_number;
  } cases[] = {
      {"Ctrl-C", "\x03", SIGINT},   {"Ctrl-\\", "\x1c", SIGQUIT}, {"kill", nullptr, SIGTERM},
      {"hang-up", nullptr, SIGHUP}, {"kill", nullptr, SIGQUIT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ", signal " + std::to_string(c.signal_number));
    ChildProcess game(QUORVALE_GAME, ChildProcess::Console::kTerminal);
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

// Ctrl-Z at the pause under a job-control shell, then fg, or bg and then fg: while the game
// is stopped the shell has the player's settings, and after fg one key ends the game.
TEST(GameUnderAShell, StoppedAtThePauseItGivesTheTerminalBackAndTakesItAgain) {
  const struct {
    std::vector<std::string> shell;  // bash without readline leaves the player's settings be
    bool background_first;
  } cases[] = {
      {{"/bin/bash", "--norc", "--noprofile", "--noediting", "-i"}, false},
      {{"/bin/bash", "--norc", "--noprofile", "--noediting", "-i"}, true},
      {{"/bin/dash", "-i"}, false},
      {{"/bin/dash", "-i"}, true},
  };
  const std::string prompt = "shell> ";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shell.front() + (c.background_first ? ", bg then fg" : ", fg"));
    if (access(c.shell.front().c_str(), X_OK) != 0) {
      GTEST_SKIP() << c.shell.front() << " is not installed";
    }
    std::vector<std::string> command = {"/usr/bin/env", "PS1=" + prompt, "HISTFILE=/dev/null"};
    command.insert(command.end(), c.shell.begin(), c.shell.end());
    ChildProcess shell(command, ChildProcess::Console::kTerminal);
    ASSERT_TRUE(shell.read_until_next(prompt, 5s)) << shell.output();
    const termios players = settings_of(shell.terminal_fd());

    shell.write(std::string(QUORVALE_GAME) + "\n");
    ASSERT_TRUE(shell.read_until("first name:\r\n", 5s)) << shell.output();
    shell.write("Ann Lee 2\n");
    ASSERT_TRUE(shell.read_until(kWaitingScreen, 5s)) << shell.output();

    shell.write("\x1a");  // Ctrl-Z
    ASSERT_TRUE(shell.read_until_next(prompt, 5s)) << shell.output();
    expect_same_settings(settings_of(shell.terminal_fd()), players);
    if (c.background_first) {
      shell.write("bg\n");
      ASSERT_TRUE(shell.read_until_next(prompt, 5s)) << shell.output();
      // Continued in the background, the game must stop again at its read and leave the
      // terminal to the shell.
      std::this_thread::sleep_for(300ms);
      const auto before_jobs = shell.output().size();
      shell.write("jobs\n");
      ASSERT_TRUE(shell.read_until_next(prompt, 5s)) << shell.output();
      EXPECT_NE(shell.output().find("Stopped", before_jobs), std::string::npos) << shell.output();
      expect_same_settings(settings_of(shell.terminal_fd()), players);
    }

    shell.write("fg\n");
    ASSERT_TRUE(shell.read_until("Press any key to continue . . . ", 5s)) << shell.output();
    const termios waiting = settings_of(shell.terminal_fd());
    EXPECT_EQ(waiting.c_lflag & (ICANON | ECHO), 0u) << "single-key mode not taken again";
    shell.write("k");
    ASSERT_TRUE(shell.read_until_next(prompt, 5s)) << "a key did not end the game";
    shell.write("echo status=$?\n");
    EXPECT_TRUE(shell.read_until("status=0\r\n" + prompt, 5s)) << shell.output();
    expect_same_settings(settings_of(shell.terminal_fd()), players);
    shell.write("exit\n");
  }
}

}  // namespace
}  // namespace quorvale::testing
