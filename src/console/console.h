#pragma once

#include <iosfwd>

namespace quorvale {

// Readies the process's console before the game touches it.
void prepare_console();

// Keeps the console open at the end of a game until the player presses a key. Where there
// is no player at a terminal (input from a file or a pipe) it returns at once.
void pause_for_key(std::ostream& out);

}  // namespace quorvale
