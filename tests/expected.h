#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The tests' expected texts, each kept once and apart from the code under test: the ten fate
// texts in e2e/fates.txt, whole transcripts in e2e/cases/NAME.out, where "<fate>" stands for
// any one of the fate texts. QUORVALE_E2E_DIR, the e2e folder, comes from the build.
namespace quorvale::testing {

// The whole contents of a file, bytes as they are; empty if it cannot be read.
inline std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline std::string e2e_path(const std::string& name) {
  return std::string(QUORVALE_E2E_DIR) + "/" + name;
}

// A case's file, e.g. case_file("three_lines", ".out").
inline std::string case_file(const std::string& case_name, const char* extension) {
  return read_file(e2e_path("cases/" + case_name + extension));
}

// The fate texts in fate order, each starting with its blank; fate n is element n - 1.
inline const std::vector<std::string>& fate_texts() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> lines;
    std::ifstream file(e2e_path("fates.txt"), std::ios::binary);
    for (std::string line; std::getline(file, line);) {
      lines.push_back(line);
    }
    return lines;
  }();
  return texts;
}

// `expected` with its "<fate>" replaced by the text of fate `fate_number` (1 to 10).
inline std::string with_fate(std::string expected, int fate_number) {
  const std::string marker = "<fate>";
  const auto at = expected.find(marker);
  if (at != std::string::npos) {
    expected.replace(at, marker.size(), fate_texts().at(static_cast<std::size_t>(fate_number - 1)));
  }
  return expected;
}

// Whether `transcript` is `expected` with any one fate text in place of its "<fate>".
inline bool matches_transcript(const std::string& transcript, const std::string& expected) {
  for (int fate = 1; fate <= static_cast<int>(fate_texts().size()); ++fate) {
    if (transcript == with_fate(expected, fate)) {
      return true;
    }
  }
  return false;
}

}  // namespace quorvale::testing
