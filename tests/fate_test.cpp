#include "fate/fate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <set>

#include "expected.h"

namespace quorvale {
namespace {

TEST(FateTable, GivesEachNumberItsTextAndNothingOutsideOneToTen) {
  ASSERT_EQ(testing::fate_texts().size(), 10u);
  for (int number = 1; number <= 10; ++number) {
    EXPECT_EQ(fate_text(number), testing::fate_texts()[static_cast<std::size_t>(number - 1)])
        << "fate " << number;
  }
  for (const int outside : {0, 11, -1}) {
    EXPECT_EQ(fate_text(outside), "") << "fate " << outside;
  }
}

TEST(FateForSeed, ReachesEveryFateAndNothingElse) {
  std::set<int> fates;
  for (unsigned seed = 0; seed < 10000; ++seed) {
    fates.insert(fate_for_seed(seed));
  }
  EXPECT_EQ(fates, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(FateForSeed, OneSecondAlwaysGivesOneFate) {
  for (const unsigned seed : {0u, 1u, 1765000000u, 4294967295u}) {
    const int first = fate_for_seed(seed);
    static_cast<void>(std::rand());  // NOLINT(cert-msc30-c,cert-msc50-cpp): a draw in between
    EXPECT_EQ(fate_for_seed(seed), first) << "seed " << seed;
  }
}

TEST(RollFate, SeedsWithTheCurrentSecond) {
  // Retried in case the clock ticks over between reading it and the draw.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::time_t before = std::time(nullptr);
    const int fate = roll_fate();
    if (std::time(nullptr) == before) {
      EXPECT_EQ(fate, fate_for_seed(static_cast<unsigned>(before)));
      return;
    }
  }
  FAIL() << "the clock ticked during every attempt";
}

}  // namespace
}  // namespace quorvale
