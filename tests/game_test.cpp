#include "game/game.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include <string>
#include "fate/fate.h"

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

const std::string kPromptsUpToTheMenu =
    "Welcome to Quorvale!\n"
    "Starting new game...\n"
    "\n"
    "Please enter your character's first name:\n"
    "Please enter a last name:\n";

TEST(RunGame, WritesTheWholeFirstHalfForThreeAnswers) {
  const std::string transcript = play("Ann\nLee\n2\n").transcript;
  const std::string arrival = "Ann Lee, Engineer has arrived.\n";
  EXPECT_EQ(transcript.substr(0, transcript.find(arrival) + arrival.size()),
            kPromptsUpToTheMenu +
                "Welcome, Ann. Select a class:\n"
                "*************************\n"
                "*      Class List:      *\n"
                "* 0: Cadet   1: Science *\n"
                "* 2: Engine. 3: Maintn. *\n"
                "* 4: Command 5: Secrty. *\n"
                "*************************\n"
                "Enter your class number:\n"
                "...\n"
                "\n"
                "\n"
                "\n"
                "Ann Lee, Engineer has arrived.\n");
}

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

const std::string kBanner = "\n*****Game Over*****\n";

// What follows the arrival line: the fate line, closed by the banner's own first line end.
std::string ending_of(const std::string& transcript) {
  const std::string arrived = " has arrived.\n";
  return transcript.substr(transcript.find(arrived) + arrived.size());
}

int g_fate_to_draw = 0;

TEST(RunGame, EndsWithTheDrawnFateThenTheBanner) {
  const struct {
    int fate;
    std::string ending;
  } cases[] = {
      {1, "Ann Lee, Engineer has died due to low O2." + kBanner},
      {3, "Ann Lee, Engineer has died due to exaustion." + kBanner},
      {6, "Ann Lee, Engineer has been exposed to fatal radiation." + kBanner},
      {9, "Ann Lee, Engineer has won. And died." + kBanner},
      {10, "Ann Lee, Engineer has died on impact." + kBanner},
  };
  for (const auto& c : cases) {
    g_fate_to_draw = c.fate;
    EXPECT_EQ(ending_of(play("Ann Lee 2\n", [] { return g_fate_to_draw; }).transcript), c.ending);
  }
}

TEST(RunGame, DrawsOneOfTheTenFatesFromTheClock) {
  for (const std::string answers : {"Ann Lee 2\n", ""}) {
    const std::string ending = ending_of(play(answers).transcript);
    const std::string title = answers.empty() ? "Morty McDead, Redshirt" : "Ann Lee, Engineer";
    int matches = 0;
    for (int fate = 1; fate <= 10; ++fate) {
      std::string fate_line = title;
      fate_line.append(fate_text(fate)).append(kBanner);
      if (ending == fate_line)
        ++matches;
    }
    EXPECT_EQ(matches, 1) << ending;
  }
}

TEST(RunGame, StoresAVeryLongNameWhole) {
  const std::string name(1 << 20, 'q');
  const Played played = play(name + " Lee 1\n");
  EXPECT_EQ(line_with(played.transcript, " has arrived."), name + " Lee, Scientist has arrived.");
}

}  // namespace
}  // namespace quorvale
