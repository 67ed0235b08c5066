#include <iostream>

#include "console/console.h"
#include "game/game.h"

// Arguments and the environment are deliberately ignored.
int main() {
  quorvale::prepare_console();
  quorvale::run_game(std::cin, std::cout);
  return 0;
}
