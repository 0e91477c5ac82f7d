#pragma once
// The mixer: a producer thread that mixes the clips block by block into a ring that the player,
// the encoder or a caller pulling blocks drains.

#include "clip.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace ovra::soundmix {

constexpr int kBlockBytes = 4096;
constexpr int kBlockSamples = kBlockBytes / 2;
constexpr int kRingBlocks = 32;

struct Block {
  std::array<std::int16_t, kBlockSamples> samples;
  std::int64_t start;  // timeline position, 100 ns
};

// A manual-reset event: stays set until reset.
class Event {
 public:
  void set();
  void reset();
  void wait();
  bool waitFor(std::chrono::milliseconds timeout);  // false when it timed out unset

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool set_ = false;
};

class Mixer {
 public:
  Mixer() = default;
  ~Mixer() { stop(); }
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  // Starts the producer on clips that are prepared for (rate, channels) and sorted by start; they
  // must outlive the run. total is the timeline length.
  void start(std::vector<Clip*> clips, std::int32_t rate, std::int32_t channels,
             std::int64_t total);
  // Ends the producer and empties the ring; waiting consumers get the end.
  void stop();

  enum class Take { Block, End, Late };
  // The oldest block. Without a timeout it waits for one; Late when the timeout passed first.
  Take take(Block& block, std::chrono::milliseconds timeout = std::chrono::milliseconds::max());
  // Moves the mix to position (100 ns from the timeline start, not negative).
  void seek(std::int64_t position);

  std::int64_t bytesPerSecond() const { return bytesPerSecond_; }
  std::int64_t total() const { return total_; }
  // The timeline's length in bytes, to the next whole sample frame: where the last block's sound
  // ends.
  std::int64_t totalBytes() const;

 private:
  void run();
  bool produce(Block& block, std::int64_t bytes);
  void position(std::int64_t bytes);

  std::vector<Clip*> clips_;
  std::int32_t rate_ = 44100;
  std::int32_t channels_ = 2;
  std::int64_t bytesPerSecond_ = 0;
  std::int64_t total_ = 0;
  std::thread thread_;

  // Taken by the producer while it reads the clips, and by a seek that moves them.
  std::mutex produceLock_;
  std::array<std::int32_t, kBlockSamples> sum_{};
  std::array<std::uint16_t, kBlockSamples> count_{};
  std::array<std::int16_t, kBlockSamples> clipSamples_{};

  // The ring and its counters.
  std::mutex lock_;
  std::array<Block, kRingBlocks> ring_{};
  int head_ = 0;
  int filled_ = 0;
  std::int64_t bytesProduced_ = 0;
  bool ended_ = false;
  bool stopping_ = true;
  Event dataReady_;
  Event space_;
  Event restart_;
};

}  // namespace ovra::soundmix
