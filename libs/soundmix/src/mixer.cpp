#include "mixer.h"

#include <algorithm>
#include <cstring>

namespace ovra::soundmix {

void Event::set() {
  std::lock_guard guard(lock_);
  set_ = true;
  changed_.notify_all();
}

void Event::reset() {
  std::lock_guard guard(lock_);
  set_ = false;
}

void Event::wait() {
  std::unique_lock guard(lock_);
  changed_.wait(guard, [this] { return set_; });
}

bool Event::waitFor(std::chrono::milliseconds timeout) {
  std::unique_lock guard(lock_);
  return changed_.wait_for(guard, timeout, [this] { return set_; });
}

void Mixer::start(std::vector<Clip*> clips, std::int32_t rate, std::int32_t channels,
                  std::int64_t total) {
  stop();
  clips_ = std::move(clips);
  rate_ = rate;
  channels_ = channels;
  bytesPerSecond_ = std::int64_t{rate} * channels * 2;
  total_ = total;
  position(0);
  {
    std::lock_guard guard(lock_);
    head_ = filled_ = 0;
    ended_ = false;
    stopping_ = false;
    dataReady_.reset();
    space_.reset();
    restart_.reset();
  }
  thread_ = std::thread([this] { run(); });
}

std::int64_t Mixer::totalBytes() const {
  const std::int64_t frames =
      scale(total_, rate_, 1) / kSecond + (scale(total_, rate_, 1) % kSecond != 0 ? 1 : 0);
  return scale(frames, std::int64_t{channels_} * 2, 1);
}

void Mixer::stop() {
  {
    std::lock_guard guard(lock_);
    stopping_ = true;
    dataReady_.set();
    space_.set();
    restart_.set();
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard guard(lock_);
  head_ = filled_ = 0;
}

// Places every clip and the count of bytes produced at a timeline position in bytes (a whole
// sample frame). The caller holds produceLock_ or runs before the producer exists.
void Mixer::position(std::int64_t bytes) {
  for (Clip* clip : clips_) clip->seekTo(bytes / 2);
  std::lock_guard guard(lock_);
  bytesProduced_ = bytes;
}

void Mixer::seek(std::int64_t time) {
  const std::int64_t frameBytes = std::int64_t{channels_} * 2;
  const std::int64_t bytes =
      scale(std::max<std::int64_t>(0, time), bytesPerSecond_, kSecond) / frameBytes * frameBytes;
  std::lock_guard producing(produceLock_);
  position(bytes);
  std::lock_guard guard(lock_);
  head_ = filled_ = 0;
  ended_ = false;
  space_.set();
  restart_.set();
}

Mixer::Take Mixer::take(Block& block, std::chrono::milliseconds timeout) {
  std::unique_lock guard(lock_);
  for (;;) {
    if (filled_ > 0) {
      block = ring_[head_];
      head_ = (head_ + 1) % kRingBlocks;
      --filled_;
      space_.set();
      return Take::Block;
    }
    if (ended_ || stopping_) return Take::End;
    dataReady_.reset();
    guard.unlock();
    if (timeout == std::chrono::milliseconds::max())
      dataReady_.wait();
    else if (!dataReady_.waitFor(timeout))
      return Take::Late;
    guard.lock();
  }
}

void Mixer::run() {
  for (;;) {
    {
      std::unique_lock guard(lock_);
      if (stopping_) return;
      if (filled_ == kRingBlocks) {
        space_.reset();
        guard.unlock();
        space_.wait();
        continue;
      }
      if (ended_) {
        restart_.reset();
        guard.unlock();
        restart_.wait();
        continue;
      }
    }
    std::lock_guard producing(produceLock_);
    std::int64_t bytes = 0;
    {
      std::lock_guard guard(lock_);
      bytes = bytesProduced_;
    }
    Block made;
    const bool more = produce(made, bytes);
    std::lock_guard guard(lock_);
    if (!more) {
      ended_ = true;
    } else {
      ring_[(head_ + filled_) % kRingBlocks] = made;
      ++filled_;
      bytesProduced_ = bytes + kBlockBytes;
    }
    dataReady_.set();
  }
}

// One block at the byte position: every clip that has samples inside it adds them at their exact
// place, and each output sample is the mean of the clips that have a sample there. Averaging
// only over the clips present at a sample keeps a clip that ends or begins inside the block from
// pulling the other clips' sound down to half for the rest of that block.
bool Mixer::produce(Block& block, std::int64_t bytes) {
  block.start = scale(bytes, kSecond, bytesPerSecond_);
  if (bytesPerSecond_ <= 0 || block.start >= total_) return false;
  const std::int64_t first = bytes / 2;
  const std::int64_t last = first + kBlockSamples;
  sum_.fill(0);
  count_.fill(0);
  for (Clip* clip : clips_) {
    if (clip->firstSample() >= last) break;
    if (clip->endSample() <= first) continue;
    const int offset = static_cast<int>(std::max<std::int64_t>(0, clip->firstSample() - first));
    const int n = clip->next(clipSamples_.data(), kBlockSamples - offset);
    for (int i = 0; i < n; ++i) {
      sum_[offset + i] += clipSamples_[i];
      ++count_[offset + i];
    }
  }
  for (int i = 0; i < kBlockSamples; ++i) {
    const int c = count_[i];
    const std::int32_t v = c <= 1 ? sum_[i] : sum_[i] / c;
    block.samples[i] = static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
  }
  return true;
}

}  // namespace ovra::soundmix
