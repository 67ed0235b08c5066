#pragma once

#include <iosfwd>

#include "fate/fate.h"

namespace quorvale {

using FateDraw = int (*)();

// Plays one game: reads the answers from `in` and writes the whole transcript, up to the
// closing banner, to `out`. Tests and the fuzzer pass their own draw in place of the clock's.
//
// The web build waits for the player inside these reads, through Asyncify, which must be told
// every function that can be on the stack then: web/asyncify.cmake. Reading any other way
// (another extractor, getline, a stream of the game's own) needs its functions named there;
// the web test web.waits_at_every_byte fails until they are.
void run_game(std::istream& in, std::ostream& out, FateDraw draw_fate = roll_fate);

}  // namespace quorvale
