#include <sys/wait.h>

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "child_process.h"
#include "expected.h"

namespace quorvale::testing {
namespace {

using namespace std::chrono_literals;

// Each answer is written only once its prompt has reached the pipe, as a player would; a
// prompt left in a buffer would make this time out.
TEST(GameOverPipes, EachPromptArrivesBeforeTheGameWaitsForItsAnswer) {
  ChildProcess game({QUORVALE_GAME}, ChildProcess::Console::kPipes);
  const std::vector<std::string> asked = prompts();
  const char* const answers[] = {"Ann\n", "Lee\n", "2\n"};
  ASSERT_EQ(asked.size(), std::size(answers));
  for (std::size_t i = 0; i < asked.size(); ++i) {
    ASSERT_TRUE(game.read_until(asked[i] + '\n', 5s)) << "no prompt; got:\n" << game.output();
    game.write(answers[i]);
  }
  // The input pipe stays open after the last answer: the game must still finish.
  ASSERT_TRUE(game.read_to_end(5s)) << game.output();
  const auto status = game.wait_for_exit(5s);
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status;
  EXPECT_TRUE(matches_transcript(game.output(), {"Ann", "Lee", class_names().at(2)}))
      << game.output();
}

// `quorvale < answers | head -3`: writes after the reader has gone fail quietly.
TEST(GameOverPipes, ExitsZeroWhenTheReaderHasGone) {
  ChildProcess game({QUORVALE_GAME}, ChildProcess::Console::kPipes);
  game.close_output();
  game.write("Ann\nLee\n2\n");
  game.close_input();
  const auto status = game.wait_for_exit(5s);
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status;
}

}  // namespace
}  // namespace quorvale::testing
