#pragma once

#include <string_view>

namespace quorvale {

// Draws the character's fate, 1 to 10, from a generator seeded with the clock's current
// second at the moment of the draw. Called once per game, after every answer is in.
int roll_fate();

// The fate a given seed yields. roll_fate is this with the current second, so the same
// second always gives the same fate; tests use it to reach every fate without a clock.
int fate_for_seed(unsigned seed);

// The fate's text, starting with a blank and without a line end; empty outside 1..10.
std::string_view fate_text(int fate_number);

}  // namespace quorvale
