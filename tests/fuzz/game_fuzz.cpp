// Feeds arbitrary bytes to the game as its whole standard input and checks the transcript
// against an independent reading of the answers, put into the tests' own expected texts,
// byte for byte.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

#include "../expected.h"
#include "game/game.h"

namespace {

int g_fate_to_draw = 1;

bool is_separator(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The answers as a player's input defines them, read without the stream library: words
// split on the six separators, then an optionally signed decimal that must fit 32 bits.
quorvale::Character read_answers(std::string_view input) {
  // A player who answers nothing keeps the empty-input case's character.
  static const quorvale::Character defaults = quorvale::testing::case_character("empty_input");
  quorvale::Character answers = defaults;
  std::size_t at = 0;
  auto skip_separators = [&] {
    while (at < input.size() && is_separator(input[at]))
      ++at;
    return at < input.size();
  };
  for (std::string* field : {&answers.first_name, &answers.last_name}) {
    if (!skip_separators())
      return answers;  // every later read fails too
    const std::size_t start = at;
    while (at < input.size() && !is_separator(input[at]))
      ++at;
    field->assign(input.substr(start, at - start));
  }
  if (!skip_separators())
    return answers;
  const bool negative = input[at] == '-';
  if (input[at] == '+' || negative)
    ++at;
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;
  std::int64_t value = 0;
  bool has_digits = false;
  for (; at < input.size() && input[at] >= '0' && input[at] <= '9'; ++at) {
    has_digits = true;
    value = std::min(value * 10 + (input[at] - '0'), kLimit + 1);  // past any 32-bit value
  }
  const std::int64_t number = negative ? -value : value;
  const bool fits = number >= -kLimit && number < kLimit;
  const auto& class_names = quorvale::testing::class_names();
  if (has_digits && fits && number >= 0 && number < static_cast<std::int64_t>(class_names.size())) {
    answers.class_name = class_names[static_cast<std::size_t>(number)];
  }
  return answers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(data, data + size);
  g_fate_to_draw = static_cast<int>(size % 10) + 1;

  std::istringstream in(input);
  std::ostringstream out;
  quorvale::run_game(in, out, [] { return g_fate_to_draw; });

  const std::string transcript = out.str();
  const std::string expected =
      quorvale::testing::transcript_of(read_answers(input), g_fate_to_draw);
  if (transcript != expected) {
    std::size_t differs_at = 0;
    while (differs_at < transcript.size() && differs_at < expected.size() &&
           transcript[differs_at] == expected[differs_at]) {
      ++differs_at;
    }
    static_cast<void>(std::fprintf(
        stderr, "transcript differs at byte %zu\n--- game wrote:\n%s\n--- expected:\n%s\n",
        differs_at, transcript.c_str(), expected.c_str()));
    std::abort();
  }
  return 0;
}
