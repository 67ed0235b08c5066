#include "game/class_table.h"

#include <array>

namespace quorvale {

namespace {
// Indexed by class number; note the stored names differ from the menu labels.
constexpr std::array<std::string_view, 6> kClassNames = {
    "Cadet", "Scientist", "Engineer", "Janitor", "Overseer", "Guard",
};
}  // namespace

std::optional<std::string_view> class_name_for(int class_number) {
  if (class_number < 0 || class_number >= static_cast<int>(kClassNames.size())) {
    return std::nullopt;
  }
  return kClassNames[static_cast<std::size_t>(class_number)];
}

}  // namespace quorvale
