#pragma once

#include <iosfwd>
#include <string_view>

namespace quorvale {

// Readies the process's console before the game touches it.
void prepare_console();

// What the pause writes where the platform has no pause command of its own to write it.
inline constexpr std::string_view kPausePrompt = "Press any key to continue . . . ";

// Keeps the console open at the end of a game until the player presses a key. Where there
// is no player at a terminal (input from a file or a pipe) it returns at once.
void pause_for_key(std::ostream& out);

}  // namespace quorvale
