#pragma once

#include <optional>
#include <string_view>

namespace quorvale {

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
