#pragma once
// What the list tests share: a scratch folder (also the log's home), pictures made on the spot,
// an observer that records what it is told, and plain counted elements.

#include <gfx/encode.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "thumbshelf/clip_list.h"
#include "thumbshelf/image_item.h"

namespace shelftest {

namespace fs = std::filesystem;

inline const fs::path& scratch() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("thumbshelf-test-" + std::to_string(getpid()));
    fs::create_directories(d);
    setenv("XDG_STATE_HOME", d.c_str(), 1);
    return d;
  }();
  return dir;
}

// Before main: the log opens its file at the first line, wherever XDG_STATE_HOME points then.
inline const fs::path& kScratchAtStart = scratch();

inline std::string logText() {
  std::ifstream in(scratch() / "galleria" / "galleria.log");
  return {std::istreambuf_iterator<char>(in), {}};
}

// A w x h picture of one colour (0xAARRGGBB), written once under its name.
inline std::string picture(const std::string& name, int w, int h, std::uint32_t colour,
                           gfx::ImageFormat format = gfx::ImageFormat::Png) {
  const fs::path file = scratch() / name;
  if (!fs::exists(file)) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h, colour);
    gfx::encodeToFile({reinterpret_cast<std::uint8_t*>(pixels.data()), w, h, w * 4}, format, 95,
                      file);
  }
  return file.string();
}

inline std::string brokenPicture() {
  const fs::path file = scratch() / "broken.png";
  std::ofstream(file, std::ios::binary) << "\x89PNG\r\n\x1a\n broken";
  return file.string();
}

struct Change {
  int code, index;
  std::intptr_t value1, value2;
  bool operator==(const Change&) const = default;
};

class Recorder : public CListObserver {
 public:
  void ListChanged(int code, int index, std::intptr_t v1, std::intptr_t v2, CClipList*) override {
    std::lock_guard g(lock);
    changes.push_back({code, index, v1, v2});
  }
  void LoadSucceeded(const char* caption, int index, int percent, CClipList*) override {
    std::lock_guard g(lock);
    loaded.push_back(caption);
    indexes.push_back(index);
    percents.push_back(percent);
  }
  void LoadFailed(const char* caption, CClipList*) override {
    std::lock_guard g(lock);
    failed.push_back(caption);
  }
  void LoadBegun(const char*, CClipList*) override { ++begun; }
  void EndLoadAll(CClipList*) override { ++ended; }

  std::vector<Change> takeChanges() {
    std::lock_guard g(lock);
    return std::exchange(changes, {});
  }
  std::size_t handled() {
    std::lock_guard g(lock);
    return loaded.size() + failed.size();
  }
  // Waits (at most a minute) until that many elements were loaded or failed.
  bool waitHandled(std::size_t n) {
    for (int i = 0; i < 6000 && handled() < n; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return handled() >= n;
  }

  std::mutex lock;
  std::vector<Change> changes;
  std::vector<std::string> loaded, failed;
  std::vector<int> indexes, percents;
  std::atomic<int> begun{0}, ended{0};
};

// An element that knows its number (the reserved value) and counts the living ones; opening it
// may be made slow or may fail.
class Numbered : public CElementObject {
 public:
  static inline std::atomic<int> living{0};
  explicit Numbered(std::uint32_t number, int openMillis = 0, bool opens = true)
      : caption_("n" + std::to_string(number)), openMillis_(openMillis), opens_(opens) {
    SetReservedData(number, nullptr);
    ++living;
  }
  ~Numbered() override { --living; }
  bool InitializeOK() override { return false; }
  bool Initialize() override {
    if (openMillis_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(openMillis_));
    return opens_;
  }
  const char* GetCaption() override { return caption_.c_str(); }

 private:
  std::string caption_;
  int openMillis_;
  bool opens_;
};

// A plain list with an adjustable limit.
class TestList : public CClipList {
 public:
  explicit TestList(int maxCaps = kMaxCaps, int capacity = 4)
      : CClipList(capacity), maxCaps_(maxCaps) {}
  ~TestList() override { StopDecodeThread(); }
  int GetMaxCaps() override { return maxCaps_; }

 private:
  int maxCaps_;
};

// The numbers of the elements in list order.
inline std::vector<std::uint32_t> numbers(CClipList& list) {
  std::vector<std::uint32_t> out;
  list.BeginUpdateItem();
  for (int i = 0; i < list.GetCount(); ++i) out.push_back(list.GetObjectW(i)->GetReserved1());
  list.EndUpdateItem();
  return out;
}

// Adds elements numbered from..to-1 and waits for them.
inline void fill(CClipList& list, std::uint32_t from, std::uint32_t to) {
  std::vector<CElementObject*> made;
  for (std::uint32_t i = from; i < to; ++i) made.push_back(new Numbered(i));
  list.AddObjects(made.data(), static_cast<int>(made.size()), true);
}

}  // namespace shelftest
