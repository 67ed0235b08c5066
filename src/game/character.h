#pragma once

#include <iosfwd>
#include <string>

namespace quorvale {

// The player character. The defaults are what a player who never answers ends up with.
struct Character {
  std::string first_name = "Morty";
  std::string last_name = "McDead";
  std::string class_name = "Redshirt";
};

// Writes "First Last, Class" with no line end, so callers can finish the sentence.
void write_title(std::ostream& out, const Character& character);

}  // namespace quorvale
