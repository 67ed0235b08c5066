#pragma once

#include <iosfwd>
#include <string_view>

namespace quorvale {

// Readies the process's console before the game touches it.
void prepare_console();

// What the pause writes where the platform has no pause command of its own to write it.
inline constexpr std::string_view kPausePrompt = "Press any key to continue . . . ";

// Keeps the console open at the end of a game until the player presses a key. On POSIX it
// returns at once where no player is at a terminal (input from a file or a pipe). On Windows
// it runs the command interpreter's PAUSE whatever the input is, as the game always has:
// from redirected input PAUSE takes its key there, and returns once that input has ended.
// In the page it always waits for a key.
void pause_for_key(std::ostream& out);

}  // namespace quorvale
