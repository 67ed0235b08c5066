#pragma once

#include <iosfwd>

#include "fate/fate.h"

namespace quorvale {

using FateDraw = int (*)();

// Plays one game: reads the answers from `in` and writes the whole transcript, up to the
// closing banner, to `out`. Tests and the fuzzer pass their own draw in place of the clock's.
void run_game(std::istream& in, std::ostream& out, FateDraw draw_fate = roll_fate);

}  // namespace quorvale
