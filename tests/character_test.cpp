#include "game/character.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <optional>
#include <sstream>
#include <string>

#include "expected.h"

namespace quorvale {
namespace {

std::string title_of(const Character& character) {
  std::ostringstream out;
  write_title(out, character);
  return out.str();
}

TEST(WriteTitle, JoinsTheFieldsWithNoLineEnd) {
  const struct {
    Character character;
    std::string title;
  } cases[] = {
      {Character{"Ann", "Lee", "Engineer"}, "Ann Lee, Engineer"},
      {Character{"", "", ""}, " , "},
      {Character{std::string("N\0l", 3), "Zo\xC3\xAB", "Guard"},
       std::string("N\0l Zo\xC3\xAB, Guard", 15)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(title_of(c.character), c.title);
  }
}

// A player who never answers keeps the defaults: the empty-input case's character.
TEST(CharacterRecord, StartsWithTheDefaults) {
  const Character defaults = testing::case_character("empty_input");
  EXPECT_EQ(title_of(Character{}), title_of(defaults));
}

TEST(ClassTable, StoresTheClassNameNotTheMenuLabel) {
  ASSERT_EQ(testing::class_names().size(), 6u);
  for (int number = 0; number < 6; ++number) {
    EXPECT_EQ(class_name_for(number), testing::class_names()[static_cast<std::size_t>(number)]);
  }
  for (const int outside : {6, 7, 100, -1, INT_MIN, INT_MAX}) {
    EXPECT_EQ(class_name_for(outside), std::nullopt) << "class number " << outside;
  }
}

TEST(ClassTable, MenuCardIsSixLinesOfTwentyFiveCharacters) {
  std::istringstream card{std::string(kClassMenuCard)};
  std::size_t lines = 0;
  for (std::string line; std::getline(card, line); ++lines) {
    EXPECT_EQ(line.size(), 25u) << '"' << line << '"';
  }
  EXPECT_EQ(lines, 6u);
  EXPECT_EQ(kClassMenuCard.back(), '\n');
}

}  // namespace
}  // namespace quorvale
