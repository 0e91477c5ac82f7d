#pragma once
// What the mixer's tests share: fixture paths, a component that cleans up after itself, a
// notification recorder and pulling a whole mix.

#include <soundmix/soundmix.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace soundmix_test {

namespace fs = std::filesystem;

constexpr std::int64_t kSecond = 10000000;

inline std::string data(const char* name) {
  return (fs::path(GALLERIA_TEST_DATA) / name).string();
}

// A fresh folder for one test, named after it and removed with it.
class ScratchDir {
 public:
  ScratchDir()
      : path_(fs::temp_directory_path() /
              ("soundmix-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScratchDir() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

using Event = std::pair<std::int32_t, std::int32_t>;  // kind, value
inline Event event(std::int32_t kind, std::int32_t value) {
  return {kind, value};
}

// Notifications as they arrive, from whichever thread.
class Recorder {
 public:
  static void notify(std::int32_t kind, std::int32_t value, void* self) {
    static_cast<Recorder*>(self)->add(kind, value);
  }
  void add(std::int32_t kind, std::int32_t value) {
    std::lock_guard guard(lock_);
    events_.emplace_back(kind, value);
    changed_.notify_all();
  }
  // Waits for a notification of that kind; its value, or -1 after the timeout.
  std::int32_t waitFor(std::int32_t kind, std::chrono::seconds timeout = std::chrono::seconds(30)) {
    std::unique_lock guard(lock_);
    std::int32_t value = -1;
    changed_.wait_for(guard, timeout, [&] {
      for (const auto& [k, v] : events_)
        if (k == kind) {
          value = v;
          return true;
        }
      return false;
    });
    return value;
  }
  std::vector<std::pair<std::int32_t, std::int32_t>> events() {
    std::lock_guard guard(lock_);
    return events_;
  }
  void clear() {
    std::lock_guard guard(lock_);
    events_.clear();
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::pair<std::int32_t, std::int32_t>> events_;
};

struct ComponentDeleter {
  void operator()(OvraMusicComponent* c) const { OvraDeinitializeMusicComponent(c); }
};
using Component = std::unique_ptr<OvraMusicComponent, ComponentDeleter>;

inline Component makeComponent(Recorder* recorder = nullptr) {
  return Component(
      OvraInitializeMusicComponent(recorder ? &Recorder::notify : nullptr, recorder, nullptr));
}

// Adds a clip and gives its record, failing the test when the file is refused.
inline TMusicElement& addClip(OvraMusicComponent* c, const char* fixture) {
  TMusicElement* e = OvraAddMusicElement(data(fixture).c_str(), c);
  EXPECT_NE(e, nullptr) << fixture;
  static TMusicElement dummy{};
  return e ? *e : dummy;
}

struct Mix {
  std::vector<std::int16_t> samples;  // interleaved
  std::vector<std::int64_t> starts;   // of each block
};

// Pulls blocks to the end of the mix, restarting it first unless told otherwise.
inline Mix pullAll(OvraMusicComponent* c, bool restart = true) {
  if (restart) {
    EXPECT_TRUE(OvraStartGetMixAudio(c));
  }
  Mix mix;
  auto frame = std::make_unique<tagAudioFrame>();
  while (OvraGetNextMixAudio(frame.get(), c)) {
    EXPECT_EQ(frame->byteCount, 4096);
    const auto* s = reinterpret_cast<const std::int16_t*>(frame->samples);
    mix.samples.insert(mix.samples.end(), s, s + 2048);
    mix.starts.push_back(frame->startTime);
    if (mix.samples.size() > 1u << 26) break;  // a mix that never ends
  }
  return mix;
}

inline std::int64_t blocksFor(std::int64_t samples) {
  return (samples + 2047) / 2048;
}

}  // namespace soundmix_test
