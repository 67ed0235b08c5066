#include <ostream>

#include "console/console.h"

// The page's terminal: waits, without blocking the page, until the player presses a key
// after this call. Keys typed before it do not count. The wait unwinds the stack through
// Asyncify, so whatever calls this must be named in web/asyncify.cmake.
extern "C" void quorvale_wait_for_key();

namespace quorvale {

// The page's terminal takes the bytes as they are; there is nothing to set up.
void prepare_console() {}

void pause_for_key(std::ostream& out) {
  out << kPausePrompt << std::flush;
  quorvale_wait_for_key();
  out << '\n' << std::flush;
}

}  // namespace quorvale
