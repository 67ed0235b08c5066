// Where GoogleTest is missing (the Windows build): each fate text the game can write must be
// the one tests/expected/fates.txt holds, as a transcript shows only the fate of its second.
#include <fstream>
#include <iostream>
#include <string>

#include "fate/fate.h"

int main() {
  std::ifstream expected(QUORVALE_EXPECTED_DIR "/fates.txt", std::ios::binary);
  int fate = 0;
  int wrong = 0;
  for (std::string text; std::getline(expected, text);) {
    ++fate;
    if (quorvale::fate_text(fate) != text) {
      std::cout << "fate " << fate << ": the game writes \"" << quorvale::fate_text(fate)
                << "\", fates.txt holds \"" << text << "\"\n";
      ++wrong;
    }
  }
  if (fate == 0 || !quorvale::fate_text(fate + 1).empty()) {
    std::cout << "fates.txt holds " << fate << " fates, not all the game's\n";
    ++wrong;
  }
  return wrong == 0 ? 0 : 1;
}
