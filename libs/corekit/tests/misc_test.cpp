#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "corekit/corekit.h"

namespace {

TEST(Random, PerThreadSequences) {
  SetRandomSeed(1);
  EXPECT_EQ(GetRandomNumber(), 41);
  // The reference sequence for seed 1.
  EXPECT_EQ(GetRandomNumber(), 18467);
  EXPECT_EQ(GetRandomNumber(), 6334);

  SetRandomSeed(12345);
  int fresh = -1, afterSeed = -1;
  std::thread([&] { fresh = GetRandomNumber(); }).join();
  EXPECT_EQ(fresh, 41) << "a new thread starts at 1, whatever other threads set";
  std::thread([&] {
    SetRandomSeed(1);
    afterSeed = GetRandomNumber();
  }).join();
  EXPECT_EQ(afterSeed, 41);
  SetRandomSeed(12345);
  const int first = GetRandomNumber();
  SetRandomSeed(12345);
  EXPECT_EQ(GetRandomNumber(), first) << "the seed in another thread did not disturb this one";

  SetRandomSeed(-7);
  for (int i = 0; i < 1000; ++i) {
    const int v = GetRandomNumber();
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 32767);
  }
}

TEST(Dpi, ConvertPosByDpi) {
  const struct {
    double position;
    int source, target;
    double expected;
  } cases[] = {
      {10.0, 96, 120, 12.5}, {10.0, 96, 96, 10.0},
      {-3.0, 120, 96, -2.4}, {7.5, 0, 96, 7.5},  // no source resolution: nothing to convert by
      {7.5, -96, 96, 7.5},   {1.0, 72, 0, 0.0},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(ConvertPosByDpi(c.position, c.source, c.target), c.expected)
        << c.position << " " << c.source << "->" << c.target;
  }
}

TEST(Corekit, InitializeOnceWithoutDisplay) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  EXPECT_EQ(InitializeCorekit(), 0);
  EXPECT_EQ(InitializeCorekit(), 0);
  DeinitializeCorekit();
  tagVideoFrame f{};
  ASSERT_TRUE(mallocFrame(&f, 2, 2));
  CVXMemoryStream s;
  EXPECT_TRUE(saveFrameToStream(&f, &s, ENCODER_PNG, 90)) << "still started after Deinitialize";
  freeFrame(&f);
}

TEST(LocalMemory, SharedHeap) {
  EXPECT_EQ(GetLocalMemory(-1), nullptr);
  auto* p = static_cast<char*>(GetLocalMemory(4));
  ASSERT_NE(p, nullptr);
  std::memcpy(p, "abc", 4);
  p = static_cast<char*>(ReallocLocalMemory(p, 4096));
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, "abc");
  EXPECT_EQ(ReallocLocalMemory(p, -1), nullptr);
  FreeLocalMemory(p);  // still ours after the refused realloc
  FreeLocalMemory(nullptr);
}

}  // namespace
