#include "game/game.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>

#include "expected.h"

namespace quorvale {
namespace {

using namespace std::string_literals;

struct Played {
  std::string transcript;
  std::string unread;  // what the game left on its input
};

Played play(const std::string& answers, FateDraw draw_fate = roll_fate) {
  std::istringstream in(answers);
  std::ostringstream out;
  run_game(in, out, draw_fate);
  in.clear();
  return {out.str(), std::string(std::istreambuf_iterator<char>(in), {})};
}

// The line of the transcript that contains `marker`, without its line end.
std::string line_with(const std::string& transcript, const std::string& marker) {
  const auto at = transcript.find(marker);
  if (at == std::string::npos) {
    return "<no line with \"" + marker + "\">";
  }
  const auto begin = transcript.rfind('\n', at) + 1;  // npos + 1 is 0: the first line
  return transcript.substr(begin, transcript.find('\n', at) - begin);
}

int g_fate_to_draw = 0;
int draw_the_chosen_fate() {
  return g_fate_to_draw;
}

// Three answers, one a line, give the case's transcript whole, with whichever fate is drawn.
TEST(RunGame, WritesTheWholeTranscriptForEachFate) {
  const std::string answers = testing::case_file("three_lines", ".in");
  const std::string expected = testing::case_file("three_lines", ".out");
  for (g_fate_to_draw = 1; g_fate_to_draw <= 10; ++g_fate_to_draw) {
    EXPECT_EQ(play(answers, draw_the_chosen_fate).transcript,
              testing::with_fate(expected, g_fate_to_draw));
  }
}

// Up to the greeting, which is the first line to hold an answer.
const std::string kPromptsUpToTheMenu = [] {
  const std::string transcript = testing::case_file("three_lines", ".out");
  return transcript.substr(0, transcript.find("Welcome, "));
}();

TEST(RunGame, ReadsWordsAcrossAnyWhitespace) {
  const struct {
    std::string answers;
    std::string greeting;
    std::string arrival;
    std::string unread;
  } cases[] = {
      {"Ann\nLee\n2\n", "Welcome, Ann. Select a class:", "Ann Lee, Engineer has arrived.", "\n"},
      {"Ann Lee 4", "Welcome, Ann. Select a class:", "Ann Lee, Overseer has arrived.", ""},
      {"Ann Marie\n7\n", "Welcome, Ann. Select a class:", "Ann Marie, Redshirt has arrived.", "\n"},
      {"\n   \n\t\nAnn\n\n  Lee\n\n3\n",
       "Welcome, Ann. Select a class:", "Ann Lee, Janitor has arrived.", "\n"},
      {"\vAnn\fLee\r5\t", "Welcome, Ann. Select a class:", "Ann Lee, Guard has arrived.", "\t"},
      {"Ann\r\nLee\r\n1\r\n", "Welcome, Ann. Select a class:", "Ann Lee, Scientist has arrived.",
       "\r\n"},
      {"", "Welcome, Morty. Select a class:", "Morty McDead, Redshirt has arrived.", ""},
      {" \n\t ", "Welcome, Morty. Select a class:", "Morty McDead, Redshirt has arrived.", ""},
      {"Ann", "Welcome, Ann. Select a class:", "Ann McDead, Redshirt has arrived.", ""},
      {"Ann Lee", "Welcome, Ann. Select a class:", "Ann Lee, Redshirt has arrived.", ""},
      {"Ann Lee\n", "Welcome, Ann. Select a class:", "Ann Lee, Redshirt has arrived.", ""},
      {"Zo\xC3\xAB \xD1\x61ndu\xFF 0\n", "Welcome, Zo\xC3\xAB. Select a class:",
       "Zo\xC3\xAB \xD1\x61ndu\xFF, Cadet has arrived.", "\n"},
      {"A\0n\x01 L\x7F 4"s, "Welcome, A\0n\x01. Select a class:"s,
       "A\0n\x01 L\x7F, Overseer has arrived."s, ""},
  };
  for (const auto& c : cases) {
    const Played played = play(c.answers);
    SCOPED_TRACE("answers: \"" + c.answers + "\"");
    EXPECT_EQ(played.transcript.substr(0, kPromptsUpToTheMenu.size()), kPromptsUpToTheMenu);
    EXPECT_EQ(line_with(played.transcript, "Welcome, "), c.greeting);
    EXPECT_EQ(line_with(played.transcript, " has arrived."), c.arrival);
    EXPECT_EQ(played.unread, c.unread);
  }
}

TEST(RunGame, ReadsTheClassAnswerAsOneSignedDecimalNumber) {
  const struct {
    std::string class_answer;
    std::string class_name;
    std::string unread;
  } cases[] = {
      {"0", "Cadet", ""},
      {"+4", "Overseer", ""},
      {"04", "Overseer", ""},
      {"-0", "Cadet", ""},
      {"0x5", "Cadet", "x5"},
      {"3.9", "Janitor", ".9"},
      {"3abc", "Janitor", "abc"},
      {"  \n\t5\n", "Guard", "\n"},
      {"6", "Redshirt", ""},
      {"-1", "Redshirt", ""},
      {"100", "Redshirt", ""},
      {"2147483647", "Redshirt", ""},
      {"-2147483648", "Redshirt", ""},
      // Out of range: every digit is eaten, and neither a limit nor a wrapped value is kept.
      {"2147483648", "Redshirt", ""},
      {"4294967296x", "Redshirt", "x"},
      {"-4294967297", "Redshirt", ""},
      {"99999999999999999999999999", "Redshirt", ""},
      // No digits: the failed read must not store 0, which would make a Cadet.
      {"abc", "Redshirt", "abc"},
      {"-x", "Redshirt", "x"},
      {"+", "Redshirt", ""},
      {"- 1", "Redshirt", " 1"},
      {"", "Redshirt", ""},
  };
  for (const auto& c : cases) {
    const Played played = play("Ann Lee " + c.class_answer);
    SCOPED_TRACE("class answer: \"" + c.class_answer + "\"");
    EXPECT_EQ(line_with(played.transcript, " has arrived."),
              "Ann Lee, " + c.class_name + " has arrived.");
    EXPECT_EQ(played.unread, c.unread);
  }
}

TEST(RunGame, DrawsOneOfTheTenFatesFromTheClock) {
  for (const std::string case_name : {"three_lines", "empty_input"}) {
    const std::string transcript = play(testing::case_file(case_name, ".in")).transcript;
    EXPECT_TRUE(testing::matches_transcript(transcript, testing::case_file(case_name, ".out")))
        << transcript;
  }
}

TEST(RunGame, StoresAVeryLongNameWhole) {
  const std::string name(1 << 20, 'q');
  const Played played = play(name + " Lee 1\n");
  EXPECT_EQ(line_with(played.transcript, " has arrived."), name + " Lee, Scientist has arrived.");
}

}  // namespace
}  // namespace quorvale
