#include "game/character.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <optional>
#include <sstream>
#include <string>

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
      {Character{}, "Morty McDead, Redshirt"},
      {Character{"Ann", "Lee", "Engineer"}, "Ann Lee, Engineer"},
      {Character{"", "", ""}, " , "},
      {Character{std::string("N\0l", 3), "Zo\xC3\xAB", "Guard"},
       std::string("N\0l Zo\xC3\xAB, Guard", 15)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(title_of(c.character), c.title);
  }
}

TEST(ClassTable, StoresTheClassNameNotTheMenuLabel) {
  const struct {
    int number = 0;
    std::optional<std::string_view> name;
  } cases[] = {
      {0, "Cadet"},        {1, "Scientist"},   {2, "Engineer"},         {3, "Janitor"},
      {4, "Overseer"},     {5, "Guard"},       {6, std::nullopt},       {7, std::nullopt},
      {100, std::nullopt}, {-1, std::nullopt}, {INT_MIN, std::nullopt}, {INT_MAX, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(class_name_for(c.number), c.name) << "class number " << c.number;
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
