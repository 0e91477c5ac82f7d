#include "jotter/jotter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

// The log folder is fixed at the first line written, so the whole behaviour is checked in one
// process-wide sequence: formatting, line endings and lines written from many threads at once.
TEST(JotterStress, WritesWholeLinesToTheStateFolderFromManyThreads) {
  const fs::path state = fs::temp_directory_path() / ("jotter-test-" + std::to_string(getpid()));
  fs::remove_all(state);
  setenv("XDG_STATE_HOME", state.c_str(), 1);

  OvraPrintfTextA("Failed to Malloc memory(%d)", 40000);
  OvraLogTextW("Ovra Codecs: caf\xc3\xa9 ends with newline\n");
  OvraPrintfTextA(nullptr);
  OvraLogTextW(nullptr);

  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t)
    writers.emplace_back([t] {
      for (int i = 0; i < 250; ++i) OvraPrintfTextA("thread %d line %d %s", t, i, "xxxxxxxxxxxx");
    });
  for (auto& w : writers) w.join();

  std::ifstream log(state / "galleria" / "galleria.log");
  ASSERT_TRUE(log.is_open());
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);

  ASSERT_EQ(lines.size(), 2u + 1000u);
  EXPECT_NE(lines[0].find("Failed to Malloc memory(40000)"), std::string::npos);
  EXPECT_NE(lines[1].find("Ovra Codecs: caf\xc3\xa9 ends with newline"), std::string::npos);
  for (size_t i = 2; i < lines.size(); ++i) {
    EXPECT_NE(lines[i].find("thread "), std::string::npos) << lines[i];
    EXPECT_EQ(lines[i].substr(lines[i].size() - 12), "xxxxxxxxxxxx") << lines[i];
  }
  fs::remove_all(state);
}
