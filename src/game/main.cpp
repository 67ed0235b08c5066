#include <iostream>

#include "console/console.h"
#include "game/game.h"

// Arguments and the environment are deliberately ignored.
int main() {
  quorvale::prepare_console();
  quorvale::run_game(std::cin, std::cout);
  // The whole transcript must be on screen, or in its file, before the pause's prompt.
  std::cout.flush();
  quorvale::pause_for_key(std::cout);
  return 0;
}
