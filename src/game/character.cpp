#include "game/character.h"

#include <array>
#include <ostream>

namespace quorvale {

namespace {
// Indexed by class number; note the stored names differ from the menu labels.
constexpr std::array<std::string_view, 6> kClassNames = {
    "Cadet", "Scientist", "Engineer", "Janitor", "Overseer", "Guard",
};
}  // namespace

void write_title(std::ostream& out, const Character& character) {
  out << character.first_name << ' ' << character.last_name << ", " << character.class_name;
}

std::optional<std::string_view> class_name_for(int class_number) {
  if (class_number < 0 || class_number >= static_cast<int>(kClassNames.size())) {
    return std::nullopt;
  }
  return kClassNames[static_cast<std::size_t>(class_number)];
}

}  // namespace quorvale
