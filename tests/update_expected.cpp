// Rewrites tests/expected/ from the game itself, for a deliberate change to its texts: the
// game's text with its placeholders put back, the fate texts, the class names, and the
// character of every case (a new case needs only its .in). The diff is then the review.
// It refuses, and writes nothing more, where the game no longer fits the placeholders.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "expected.h"
#include "fate/fate.h"
#include "game/game.h"

namespace {

using quorvale::Character;
namespace expected = quorvale::testing;

// Serves answers a line at a time and notes where the game's output stood each time the
// game had to wait for more: where a terminal echoes an answer.
class LineByLine : public std::streambuf {
 public:
  LineByLine(std::vector<std::string> lines, const std::ostringstream& out)
      : lines_(std::move(lines)), out_(out) {}
  std::vector<std::size_t> waits;

 protected:
  int_type underflow() override {
    if (next_ == lines_.size()) {
      return traits_type::eof();
    }
    waits.push_back(out_.str().size());
    line_ = lines_[next_++] + '\n';
    setg(line_.data(), line_.data(), line_.data() + line_.size());
    return traits_type::to_int_type(line_[0]);
  }

 private:
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
  std::string line_;
  const std::ostringstream& out_;
};

int g_fate = 1;
int draw() {
  return g_fate;
}

void replace_all(std::string& text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

void write(const std::string& name, const std::string& text) {
  std::ofstream(expected::expected_path(name), std::ios::binary) << text;
}

[[noreturn]] void refuse(const std::string& why) {
  static_cast<void>(std::fprintf(stderr, "update_expected: %s\n", why.c_str()));
  std::exit(1);
}

// The game's text: one game played with answers that mark where the names go, with a class
// answer the menu lacks (so the default class shows where the class goes) and fate 1.
std::string game_text() {
  const std::string first = "\2first\2";
  const std::string last = "\2last\2";
  std::ostringstream out;
  LineByLine answers({first, last, "-1"}, out);
  std::istream in(&answers);
  g_fate = 1;
  quorvale::run_game(in, out, draw);
  std::string text = out.str();
  for (auto wait = answers.waits.rbegin(); wait != answers.waits.rend(); ++wait) {
    if (*wait != 0 && text[*wait - 1] != '\n') {
      refuse("the game waits for an answer mid-line, which game.txt cannot show");
    }
    text.insert(*wait, expected::kAnswerLine);
  }
  const std::string fate = std::string(quorvale::fate_text(1));
  const auto fate_at = text.rfind(fate);
  if (fate.empty() || fate_at == std::string::npos) {
    refuse("the game did not write fate 1's text");
  }
  text.replace(fate_at, fate.size(), "<fate>");
  replace_all(text, first, "<first name>");
  replace_all(text, last, "<last name>");
  replace_all(text, Character{}.class_name, "<class>");
  return text;
}

// The character in a transcript, read off the game text's first line that holds all three
// fields: each is a word, since a name cannot hold whitespace.
std::optional<Character> character_in(const std::string& transcript, const std::string& game) {
  std::istringstream lines(game);
  std::string line;
  while (std::getline(lines, line) && (line.find("<first name>") == std::string::npos ||
                                       line.find("<last name>") == std::string::npos ||
                                       line.find("<class>") == std::string::npos)) {
  }
  std::string pattern = std::regex_replace(line, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
  for (const char* field : {"<first name>", "<last name>", "<class>"}) {
    replace_all(pattern, field, R"(([^ \t\n\v\f\r]+))");
  }
  std::smatch match;
  if (line.empty() || !std::regex_search(transcript, match, std::regex(pattern))) {
    return std::nullopt;
  }
  return Character{match[1], match[2], match[3]};
}

std::string play(const std::string& input, int fate) {
  std::istringstream in(input);
  std::ostringstream out;
  g_fate = fate;
  quorvale::run_game(in, out, draw);
  return out.str();
}

}  // namespace

int main() {
  std::string fates;
  for (int number = 1; !quorvale::fate_text(number).empty(); ++number) {
    fates.append(quorvale::fate_text(number)).append("\n");
  }
  std::string classes;
  for (int number = 0; const auto class_name = quorvale::class_name_for(number); ++number) {
    classes.append(*class_name).append("\n");
  }
  write("fates.txt", fates);
  write("classes.txt", classes);
  const std::string game = game_text();
  write("game.txt", game);

  // The placeholders must say where the game puts the character: checked with other answers.
  if (play("\2a\n\2b\n0\n", 2) !=
      expected::transcript_of({"\2a", "\2b", std::string(*quorvale::class_name_for(0))}, 2)) {
    refuse("the game writes its default class or fate 1's text elsewhere too: mend game.txt");
  }

  std::vector<std::filesystem::path> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(expected::expected_path("cases"))) {
    if (entry.path().extension() == ".in") {
      inputs.push_back(entry.path());
    }
  }
  std::sort(inputs.begin(), inputs.end());
  for (const auto& input : inputs) {
    const std::string name = input.stem().string();
    const std::string transcript = play(expected::read_file(input.string()), 1);
    const auto character = character_in(transcript, game);
    if (!character || expected::transcript_of(*character, 1) != transcript) {
      std::string why = "case " + name + ": the game's transcript does not fit game.txt:\n";
      refuse(why.append(transcript));
    }
    std::string fields;
    for (const std::string* field :
         {&character->first_name, &character->last_name, &character->class_name}) {
      fields.append(*field).append("\n");
    }
    write("cases/" + name + ".character", fields);
  }
  std::printf("tests/expected: game.txt, fates.txt, classes.txt and %zu cases rewritten\n",
              inputs.size());
  return 0;
}
