#include <signal.h>
#include <sys/wait.h>
#include <termios.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

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

}  // namespace
}  // namespace quorvale::testing
