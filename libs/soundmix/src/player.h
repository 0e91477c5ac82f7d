#pragma once
// Preview through the sound device: SDL audio at 48000 Hz, signed 16-bit little-endian stereo,
// 1024-frame buffers, fed from the mixer's ring on SDL's audio thread.

#include "mixer.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace ovra::soundmix {

constexpr std::int32_t kPlayRate = 48000;
constexpr std::int32_t kPlayChannels = 2;
constexpr std::int64_t kPlayBytesPerSecond = 192000;

class Player {
 public:
  using Notify = std::function<void(std::int32_t kind, std::int32_t value)>;
  // Starts SDL's audio subsystem; throws std::runtime_error when it cannot.
  Player(Mixer& mixer, Notify notify);
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Opens the device and lets it play; false when it cannot be opened (another player holds it).
  bool play();
  // Closes the device; the position stays.
  void close();
  // Moves the mix and the count of bytes played; the output holds still meanwhile.
  void seek(std::int64_t position);

 private:
  static void fill(void* self, std::uint8_t* stream, int length);
  void fill(std::uint8_t* stream, int length);

  Mixer& mixer_;
  Notify notify_;
  bool open_ = false;
  // Excludes the device's thread from seeks: it holds this while it fills a buffer.
  std::mutex fillLock_;
  std::atomic<bool> playing_{false};
  std::atomic<std::int64_t> bytesPlayed_{0};
  std::int64_t lastSecond_ = -1;
  Block block_{};
  int blockPos_ = kBlockBytes;  // bytes of block_ already played
};

}  // namespace ovra::soundmix
