#include <cstdlib>
#include <ctime>

#include "fate/fate.h"

namespace quorvale {

int fate_for_seed(unsigned seed) {
  std::srand(seed);
  return std::rand() % 10 + 1;
}

int roll_fate() {
  return fate_for_seed(static_cast<unsigned>(std::time(nullptr)));
}

}  // namespace quorvale
