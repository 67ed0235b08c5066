#include "game/character.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quorvale
