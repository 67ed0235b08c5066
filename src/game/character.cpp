#include "game/character.h"

#include <ostream>

namespace quorvale {

void write_title(std::ostream& out, const Character& character) {
  out << character.first_name << ' ' << character.last_name << ", " << character.class_name;
}

}  // namespace quorvale
