#include <cstdlib>
#include <ctime>

#include "fate/fate.h"

namespace quorvale {

int fate_for_seed(unsigned seed) {
  // The C library's generator on purpose: one second, one fate, on every platform's own terms.
  std::srand(seed);
  return std::rand() % 10 + 1;  // NOLINT(cert-msc30-c,cert-msc50-cpp)
}

int roll_fate() {
  return fate_for_seed(static_cast<unsigned>(std::time(nullptr)));
}

}  // namespace quorvale
