#pragma once

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "game/character.h"

// The tests' expected texts, each kept once in tests/expected/ (QUORVALE_EXPECTED_DIR, from
// the build), apart from the code under test; tests/expected/README.md says what each holds.
// Here they are read for the C++ tests, the fuzzer and the update tool.
namespace quorvale::testing {

// The whole contents of a file, bytes as they are; empty if it cannot be read.
inline std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline std::string expected_path(const std::string& name) {
  return std::string(QUORVALE_EXPECTED_DIR) + "/" + name;
}

// An expected file's lines, without their line ends.
inline std::vector<std::string> lines_of(const std::string& name) {
  std::vector<std::string> lines;
  std::ifstream file(expected_path(name), std::ios::binary);
  for (std::string line; std::getline(file, line);) {
    lines.push_back(line);
  }
  return lines;
}

// The fate texts in fate order, each starting with its blank; fate n is element n - 1.
inline const std::vector<std::string>& fate_texts() {
  static const std::vector<std::string> texts = lines_of("fates.txt");
  return texts;
}

// The class names in menu order; class number n is element n.
inline const std::vector<std::string>& class_names() {
  static const std::vector<std::string> names = lines_of("classes.txt");
  return names;
}

inline std::string case_input(const std::string& case_name) {
  return read_file(expected_path("cases/" + case_name + ".in"));
}

// The character a case's transcript must show.
inline Character case_character(const std::string& case_name) {
  const std::vector<std::string> lines = lines_of("cases/" + case_name + ".character");
  return lines.size() == 3 ? Character{lines[0], lines[1], lines[2]}
                           : Character{"<no character>", case_name, ""};
}

inline const std::string kAnswerLine = "<answer>\n";

// The prompts, in the order the game asks them, without their line ends.
inline std::vector<std::string> prompts() {
  const std::vector<std::string> lines = lines_of("game.txt");
  std::vector<std::string> found;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i] + '\n' == kAnswerLine) {
      found.push_back(lines[i - 1]);
    }
  }
  return found;
}

// What the game writes for `character` and fate `fate_number` (1 to 10): the game's text
// filled in one pass, so nothing a player typed is ever taken for a placeholder.
inline std::string transcript_of(const Character& character, int fate_number) {
  static const std::string game = read_file(expected_path("game.txt"));
  const std::pair<std::string_view, std::string_view> fills[] = {
      {kAnswerLine, ""},
      {"<first name>", character.first_name},
      {"<last name>", character.last_name},
      {"<class>", character.class_name},
      {"<fate>", fate_texts().at(static_cast<std::size_t>(fate_number - 1))},
  };
  std::string transcript;
  for (std::size_t at = 0; at < game.size();) {
    const auto* fill = std::find_if(std::begin(fills), std::end(fills), [&](const auto& f) {
      return game.compare(at, f.first.size(), f.first) == 0;
    });
    if (fill == std::end(fills)) {
      transcript += game[at++];
    } else {
      transcript += fill->second;
      at += fill->first.size();
    }
  }
  return transcript;
}

// Whether `transcript` is what the game writes for `character` with any one fate, followed by
// `after` (the pause's prompt, say).
inline bool matches_transcript(const std::string& transcript, const Character& character,
                               const std::string& after = "") {
  for (int fate = 1; fate <= static_cast<int>(fate_texts().size()); ++fate) {
    if (transcript == transcript_of(character, fate) + after) {
      return true;
    }
  }
  return false;
}

}  // namespace quorvale::testing
