#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace quorvale {

// The player character. The defaults are what a player who never answers ends up with.
struct Character {
  std::string first_name = "Morty";
  std::string last_name = "McDead";
  std::string class_name = "Redshirt";
};

// Writes "First Last, Class" with no line end, so callers can finish the sentence.
void write_title(std::ostream& out, const Character& character);

// The menu the player picks a class number from. Its labels are abbreviations; the names
// stored in the character come from class_name_for.
inline constexpr std::string_view kClassMenuCard =
    "*************************\n"
    "*      Class List:      *\n"
    "* 0: Cadet   1: Science *\n"
    "* 2: Engine. 3: Maintn. *\n"
    "* 4: Command 5: Secrty. *\n"
    "*************************\n";

// The class name for a menu number, or nothing for a number that is not on the menu.
std::optional<std::string_view> class_name_for(int class_number);

}  // namespace quorvale
