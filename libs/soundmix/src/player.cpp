#include "player.h"

#include <jotter/jotter.h>

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace ovra::soundmix {

namespace {

// SDL's 1.2 interface has one sound device per process and global state: every call on it goes
// through this lock, and the subsystem stays up while any player exists.
struct Device {
  std::mutex lock;
  int players = 0;
  const Player* owner = nullptr;
};

Device& device() {
  static Device d;
  return d;
}

// How long the device's thread waits for a block before it plays silence instead.
constexpr std::chrono::milliseconds kUnderrunWait{100};

}  // namespace

Player::Player(Mixer& mixer, Notify notify) : mixer_(mixer), notify_(std::move(notify)) {
  Device& d = device();
  std::lock_guard guard(d.lock);
  if (d.players == 0 && SDL_InitSubSystem(SDL_INIT_AUDIO) < 0)
    throw std::runtime_error(std::string("no sound subsystem: ") + SDL_GetError());
  ++d.players;
}

Player::~Player() {
  close();
  Device& d = device();
  std::lock_guard guard(d.lock);
  if (--d.players == 0) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool Player::play() {
  playing_ = true;
  if (open_) return true;
  Device& d = device();
  std::lock_guard guard(d.lock);
  if (d.owner) {
    OvraPrintfTextA("soundmix: the sound device is in use by another music component");
    return false;
  }
  SDL_AudioSpec want{};
  want.freq = kPlayRate;
  want.format = AUDIO_S16LSB;
  want.channels = kPlayChannels;
  want.samples = 1024;
  want.callback = &Player::fill;
  want.userdata = this;
  if (SDL_OpenAudio(&want, nullptr) < 0) {
    OvraPrintfTextA("soundmix: cannot open the sound device: %s", SDL_GetError());
    return false;
  }
  d.owner = this;
  open_ = true;
  SDL_PauseAudio(0);
  return true;
}

void Player::close() {
  if (!open_) return;
  Device& d = device();
  std::lock_guard guard(d.lock);
  SDL_CloseAudio();  // returns once the device's thread has left fill()
  d.owner = nullptr;
  open_ = false;
}

void Player::seek(std::int64_t position) {
  std::lock_guard guard(fillLock_);
  position = std::max<std::int64_t>(0, position);
  mixer_.seek(position);
  blockPos_ = kBlockBytes;
  bytesPlayed_ = scale(position, kPlayBytesPerSecond, kSecond);
  lastSecond_ = -1;
}

void Player::fill(void* self, std::uint8_t* stream, int length) {
  static_cast<Player*>(self)->fill(stream, length);
}

void Player::fill(std::uint8_t* stream, int length) {
  std::lock_guard guard(fillLock_);
  int done = 0;
  while (playing_ && done < length) {
    if (blockPos_ == kBlockBytes) {
      const Mixer::Take got = mixer_.take(block_, kUnderrunWait);
      if (got == Mixer::Take::Late) break;
      if (got == Mixer::Take::End) {
        playing_ = false;
        std::memset(stream + done, 0, static_cast<std::size_t>(length - done));
        notify_(OVRA_MUSIC_FINISHED, OVRA_MUSIC_SUCCESS);
        return;
      }
      blockPos_ = 0;
    }
    const int n = std::min(length - done, kBlockBytes - blockPos_);
    std::memcpy(stream + done,
                reinterpret_cast<const std::uint8_t*>(block_.samples.data()) + blockPos_,
                static_cast<std::size_t>(n));
    done += n;
    blockPos_ += n;
  }
  std::memset(stream + done, 0, static_cast<std::size_t>(length - done));
  if (done == 0) return;
  const std::int64_t second = (bytesPlayed_ += done) / kPlayBytesPerSecond;
  if (second != lastSecond_) {
    lastSecond_ = second;
    notify_(OVRA_MUSIC_PROGRESS, static_cast<std::int32_t>(second));
  }
}

}  // namespace ovra::soundmix
