#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "child_process.h"
#include "expected.h"

namespace quorvale::testing {
namespace {

using namespace std::chrono_literals;

const std::string kCases = expected_path("cases");

class HostileIo : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quorvale-hostile-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    scratch_ = pattern;
  }
  void TearDown() override {
    for (const char* file : {"/in", "/out"}) {
      static_cast<void>(std::remove((scratch_ + file).c_str()));
    }
    static_cast<void>(rmdir(scratch_.c_str()));
  }
  std::string scratch_;
};

bool exited_zero(const std::optional<int>& status) {
  return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

TEST_F(HostileIo, BrokenStandardStreamsStillEndWithStatusZero) {
  const std::string answers = kCases + "/three_lines.in";
  const std::string output = scratch_ + "/out";
  const struct {
    const char* name;
    const char* input;          // null: closed
    const char* output;         // null: closed
    const char* expected_case;  // the transcript written to `output`, if it is a file
  } cases[] = {
      {"output is /dev/full", answers.c_str(), "/dev/full", nullptr},
      {"output closed", answers.c_str(), nullptr, nullptr},
      {"input closed", nullptr, output.c_str(), "empty_input"},
      {"input is /dev/null", "/dev/null", output.c_str(), "empty_input"},
      {"both closed", nullptr, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ChildProcess game({QUORVALE_GAME}, ChildProcess::Console::kFiles, c.input, c.output);
    const auto status = game.wait_for_exit(10s);
    EXPECT_TRUE(exited_zero(status)) << "wait status " << status.value_or(-1);
    if (c.expected_case != nullptr) {
      const std::string written = read_file(output);
      EXPECT_TRUE(matches_transcript(written, case_character(c.expected_case))) << written;
    }
  }
}

// A 64 MiB first name is read, stored and written whole, three times over.
TEST_F(HostileIo, StoresAndWritesAHugeFirstNameWhole) {
  const std::string name(64u << 20, 'q');
  std::ofstream(scratch_ + "/in", std::ios::binary) << name << "\nLee\n2\n";
  ChildProcess game({QUORVALE_GAME}, ChildProcess::Console::kFiles, (scratch_ + "/in").c_str(),
                    (scratch_ + "/out").c_str());
  const auto status = game.wait_for_exit(120s);
  ASSERT_TRUE(exited_zero(status)) << "wait status " << status.value_or(-1);

  Character character = case_character("three_lines");
  character.first_name = name;
  const std::string written = read_file(scratch_ + "/out");
  EXPECT_TRUE(matches_transcript(written, character)) << "the transcript differs";
}

}  // namespace
}  // namespace quorvale::testing
