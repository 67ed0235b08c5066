#include "fate/fate.h"

#include <array>
#include <cstdlib>
#include <ctime>

namespace quorvale {

namespace {
// Indexed by fate number - 1. The texts are the game's own, spelling included.
constexpr std::array<std::string_view, 10> kFateTexts = {
    " has died due to low O2.",
    " has died due to starvation.",
    " has died due to exaustion.",
    " has died due to head trauma.",
    " has died due to organ damage.",
    " has been exposed to fatal radiation.",
    " has been struck by a meteor.",
    " has died due to airborne toxin.",
    " has won. And died.",
    " has died on impact.",
};
}  // namespace

int fate_for_seed(unsigned seed) {
  // The C library's generator on purpose: one second, one fate, on every platform's own terms.
  std::srand(seed);
  return std::rand() % 10 + 1;  // NOLINT(cert-msc30-c,cert-msc50-cpp)
}

int roll_fate() {
  return fate_for_seed(static_cast<unsigned>(std::time(nullptr)));
}

std::string_view fate_text(int fate_number) {
  if (fate_number < 1 || fate_number > static_cast<int>(kFateTexts.size())) {
    return {};
  }
  return kFateTexts[static_cast<std::size_t>(fate_number - 1)];
}

}  // namespace quorvale
