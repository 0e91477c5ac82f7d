#pragma once
// The component behind the flat calls: the clip list and settings, the mixer, and at most one of
// the player and the encoding job using the mixer at a time.

#include "clip.h"
#include "mixer.h"
#include "player.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct OvraMusicComponent {
 public:
  OvraMusicComponent(OvraMusicNotify notify, void* user);
  ~OvraMusicComponent();

  TMusicElement* add(const char* path, const TMusicElement* settings);
  void remove(std::uint32_t id);
  bool update(std::uint32_t id, const TMusicElement& settings);
  void changed();
  std::int64_t length();
  void keepLeadingBlank(bool keep);
  void setFormat(std::int32_t rate, std::int32_t channels);

  bool play();
  void pause();
  bool seek(std::int64_t position);
  void stopPlayback();

  bool startEncoding(const char* path, std::int32_t bitRate, std::int32_t outputFormat);
  bool cancelEncoding();

  bool startPulling();
  bool pull(tagAudioFrame& frame);

 private:
  struct EncodingJob {
    OvraEncoderParams params{};
    std::string path;
    std::thread thread;
    std::atomic<bool> cancel{false};
    std::atomic<bool> finished{false};
  };

  void notify(std::int32_t kind, std::int32_t value) const;
  // Ends whatever uses the mixer, then the mixer. The caller holds control_.
  void stopAll();
  void stopEncoding();
  // Sorts and prepares the clips and starts the producer. The caller holds control_.
  void startMixer(std::int32_t rate, std::int32_t channels);
  std::int64_t lengthLocked() const;
  void encode(EncodingJob& job);

  const OvraMusicNotify notify_;
  void* const user_;

  // Serialises the calls that start and stop the player, the encoding and the mixer; taken
  // before lock_ when both are needed.
  std::mutex control_;
  // The clip list and the settings.
  mutable std::mutex lock_;
  std::vector<std::unique_ptr<ovra::soundmix::Clip>> clips_;
  std::uint32_t lastId_ = static_cast<std::uint32_t>(-1);
  bool keepLeadingBlank_ = false;
  std::int32_t rate_ = 44100;
  std::int32_t channels_ = 2;

  ovra::soundmix::Mixer mixer_;
  std::unique_ptr<ovra::soundmix::Player> player_;
  std::unique_ptr<EncodingJob> job_;
  bool pulling_ = false;
};
