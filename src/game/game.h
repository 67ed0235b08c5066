#pragma once

#include <iosfwd>

namespace quorvale {

// Plays one game: reads the answers from `in` and writes the whole transcript to `out`.
void run_game(std::istream& in, std::ostream& out);

}  // namespace quorvale
