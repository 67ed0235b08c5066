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

int g_fate_to_draw = 1;
int draw_the_chosen_fate() {
  return g_fate_to_draw;
}

Played play(const std::string& answers, FateDraw draw_fate = draw_the_chosen_fate) {
  std::istringstream in(answers);
  std::ostringstream out;
  run_game(in, out, draw_fate);
  in.clear();
  return {out.str(), std::string(std::istreambuf_iterator<char>(in), {})};
}

const Character kDefaults = testing::case_character("empty_input");

// Three answers, one a line, give the case's transcript whole, with whichever fate is drawn.
TEST(RunGame, WritesTheWholeTranscriptForEachFate) {
  const std::string answers = testing::case_input("three_lines");
  const Character character = testing::case_character("three_lines");
  for (g_fate_to_draw = 1; g_fate_to_draw <= 10; ++g_fate_to_draw) {
    EXPECT_EQ(play(answers).transcript, testing::transcript_of(character, g_fate_to_draw));
  }
  g_fate_to_draw = 1;
}

TEST(RunGame, ReadsWordsAcrossAnyWhitespace) {
  const auto& menu = testing::class_names();
  const struct {
    std::string answers;
    Character character;  // what the transcript shows
    std::string unread;
  } cases[] = {
      {"Ann\nLee\n2\n", {"Ann", "Lee", menu[2]}, "\n"},
      {"Ann Lee 4", {"Ann", "Lee", menu[4]}, ""},
      {"Ann Marie\n7\n", {"Ann", "Marie", kDefaults.class_name}, "\n"},
      {"\n   \n\t\nAnn\n\n  Lee\n\n3\n", {"Ann", "Lee", menu[3]}, "\n"},
      {"\vAnn\fLee\r5\t", {"Ann", "Lee", menu[5]}, "\t"},
      {"Ann\r\nLee\r\n1\r\n", {"Ann", "Lee", menu[1]}, "\r\n"},
      {"", kDefaults, ""},
      {" \n\t ", kDefaults, ""},
      {"Ann", {"Ann", kDefaults.last_name, kDefaults.class_name}, ""},
      {"Ann Lee", {"Ann", "Lee", kDefaults.class_name}, ""},
      {"Ann Lee\n", {"Ann", "Lee", kDefaults.class_name}, ""},
      {"Zo\xC3\xAB \xD1\x61ndu\xFF 0\n", {"Zo\xC3\xAB", "\xD1\x61ndu\xFF", menu[0]}, "\n"},
      {"A\0n\x01 L\x7F 4"s, {"A\0n\x01"s, "L\x7F", menu[4]}, ""},
  };
  for (const auto& c : cases) {
    const Played played = play(c.answers);
    SCOPED_TRACE("answers: \"" + c.answers + "\"");
    EXPECT_EQ(played.transcript, testing::transcript_of(c.character, 1));
    EXPECT_EQ(played.unread, c.unread);
  }
}

TEST(RunGame, ReadsTheClassAnswerAsOneSignedDecimalNumber) {
  const struct {
    std::string class_answer;
    int class_number;  // -1: none, the class stays the default
    std::string unread;
  } cases[] = {
      {"0", 0, ""},
      {"+4", 4, ""},
      {"04", 4, ""},
      {"-0", 0, ""},
      {"0x5", 0, "x5"},
      {"3.9", 3, ".9"},
      {"3abc", 3, "abc"},
      {"  \n\t5\n", 5, "\n"},
      {"6", -1, ""},
      {"-1", -1, ""},
      {"100", -1, ""},
      {"2147483647", -1, ""},
      {"-2147483648", -1, ""},
      // Out of range: every digit is eaten, and neither a limit nor a wrapped value is kept.
      {"2147483648", -1, ""},
      {"4294967296x", -1, "x"},
      {"-4294967297", -1, ""},
      {"99999999999999999999999999", -1, ""},
      // No digits: the failed read must not store 0, which would make a Cadet.
      {"abc", -1, "abc"},
      {"-x", -1, "x"},
      {"+", -1, ""},
      {"- 1", -1, " 1"},
      {"", -1, ""},
  };
  for (const auto& c : cases) {
    const Played played = play("Ann Lee " + c.class_answer);
    SCOPED_TRACE("class answer: \"" + c.class_answer + "\"");
    const std::string class_name =
        c.class_number < 0 ? kDefaults.class_name
                           : testing::class_names().at(static_cast<std::size_t>(c.class_number));
    EXPECT_EQ(played.transcript, testing::transcript_of({"Ann", "Lee", class_name}, 1));
    EXPECT_EQ(played.unread, c.unread);
  }
}

TEST(RunGame, DrawsOneOfTheTenFatesFromTheClock) {
  for (const std::string case_name : {"three_lines", "empty_input"}) {
    const std::string transcript = play(testing::case_input(case_name), roll_fate).transcript;
    EXPECT_TRUE(testing::matches_transcript(transcript, testing::case_character(case_name)))
        << transcript;
  }
}

TEST(RunGame, StoresAVeryLongNameWhole) {
  const std::string name(1 << 20, 'q');
  const Played played = play(name + " Lee 1\n");
  EXPECT_EQ(played.transcript,
            testing::transcript_of({name, "Lee", testing::class_names().at(1)}, 1));
}

}  // namespace
}  // namespace quorvale
