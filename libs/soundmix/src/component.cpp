#include "component.h"

#include <jotter/jotter.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>

using ovra::soundmix::Block;
using ovra::soundmix::Clip;
using ovra::soundmix::kBlockBytes;
using ovra::soundmix::kPlayChannels;
using ovra::soundmix::kPlayRate;
using ovra::soundmix::kSecond;
using ovra::soundmix::Mixer;
using ovra::soundmix::Player;
using ovra::soundmix::spanOf;
using ovra::soundmix::validSettings;

OvraMusicComponent::OvraMusicComponent(OvraMusicNotify notify, void* user)
    : notify_(notify), user_(user) {}

OvraMusicComponent::~OvraMusicComponent() {
  std::lock_guard control(control_);
  stopAll();
  std::lock_guard guard(lock_);
  clips_.clear();
}

void OvraMusicComponent::notify(std::int32_t kind, std::int32_t value) const {
  if (notify_) notify_(kind, value, user_);
}

TMusicElement* OvraMusicComponent::add(const char* path, const TMusicElement* settings) {
  const std::size_t size = path ? strnlen(path, OVRA_MUSIC_PATH_BYTES) : 0;
  if (size == 0) {
    OvraPrintfTextA("soundmix: a clip needs a file name");
    return nullptr;
  }
  if (size == OVRA_MUSIC_PATH_BYTES) {
    OvraPrintfTextA("soundmix: the path of a clip is longer than %d bytes",
                    OVRA_MUSIC_PATH_BYTES - 1);
    return nullptr;
  }
  std::lock_guard guard(lock_);
  if (clips_.size() >= OVRA_MUSIC_MAX_CLIPS) {
    OvraPrintfTextA("soundmix: %d clips already, %s refused", OVRA_MUSIC_MAX_CLIPS, path);
    return nullptr;
  }
  std::unique_ptr<Clip> clip;
  try {
    clip = std::make_unique<Clip>(std::string(path, size));
  } catch (const std::exception& e) {
    OvraPrintfTextA("soundmix: %s not added: %s", path, e.what());
    return nullptr;
  }
  TMusicElement& r = clip->record;
  if (settings) {
    r = *settings;
    if (r.llFileLength <= 0) r.llFileLength = clip->fileLength();
    if (!validSettings(r, r.llFileLength)) {
      OvraPrintfTextA("soundmix: %s not added: trim, start or fades out of range", path);
      return nullptr;
    }
  } else {
    r = TMusicElement{};
    r.llFileLength = clip->fileLength();
    r.llClipLength = r.llFileLength;
    r.nVolume = 100;
  }
  std::memcpy(r.szFileName, path, size);
  std::memset(r.szFileName + size, 0, sizeof r.szFileName - size);
  if (!clip->prepare(rate_, channels_, 0)) {
    OvraPrintfTextA("soundmix: %s not added: its sound cannot be converted", path);
    return nullptr;
  }
  r.id = ++lastId_;
  clips_.push_back(std::move(clip));
  return &clips_.back()->record;
}

void OvraMusicComponent::remove(std::uint32_t id) {
  std::lock_guard control(control_);
  const auto has = [id](const auto& c) { return c->record.id == id; };
  {
    std::lock_guard guard(lock_);
    if (std::none_of(clips_.begin(), clips_.end(), has)) return;
  }
  // The mixer may be reading the clip: nothing that uses it survives its unloading.
  stopAll();
  std::lock_guard guard(lock_);
  clips_.erase(std::find_if(clips_.begin(), clips_.end(), has));
}

bool OvraMusicComponent::update(std::uint32_t id, const TMusicElement& s) {
  std::lock_guard guard(lock_);
  for (auto& clip : clips_) {
    TMusicElement& r = clip->record;
    if (r.id != id) continue;
    if (!validSettings(s, r.llFileLength ? r.llFileLength : s.llFileLength)) return false;
    r.llClipLength = s.llClipLength;
    r.llClipStart = s.llClipStart;
    r.llStartPlayTime = s.llStartPlayTime;
    r.llFadeInLength = s.llFadeInLength;
    r.llFadeOutLength = s.llFadeOutLength;
    r.nVolume = s.nVolume;
    return true;
  }
  return false;
}

void OvraMusicComponent::changed() {
  std::lock_guard control(control_);
  stopAll();
}

std::int64_t OvraMusicComponent::lengthLocked() const {
  if (clips_.empty()) return 0;
  std::int64_t first = std::numeric_limits<std::int64_t>::max();
  std::int64_t last = std::numeric_limits<std::int64_t>::min();
  for (const auto& clip : clips_) {
    const auto span = spanOf(clip->record);
    first = std::min(first, span.start);
    last = std::max(last, span.end());
  }
  return std::max<std::int64_t>(0, last - (keepLeadingBlank_ ? 0 : first));
}

std::int64_t OvraMusicComponent::length() {
  std::lock_guard guard(lock_);
  return lengthLocked();
}

void OvraMusicComponent::keepLeadingBlank(bool keep) {
  std::lock_guard guard(lock_);
  keepLeadingBlank_ = keep;
}

void OvraMusicComponent::setFormat(std::int32_t rate, std::int32_t channels) {
  if (rate < 1000 || rate > 384000 || channels < 1 || channels > 8) {
    OvraPrintfTextA("soundmix: output format %d Hz, %d channels refused", rate, channels);
    return;
  }
  std::lock_guard guard(lock_);
  rate_ = rate;
  channels_ = channels;
}

void OvraMusicComponent::startMixer(std::int32_t rate, std::int32_t channels) {
  std::lock_guard guard(lock_);
  if (rate <= 0 || channels <= 0) {
    rate = rate_;
    channels = channels_;
  }
  std::stable_sort(clips_.begin(), clips_.end(), [](const auto& a, const auto& b) {
    return a->record.llStartPlayTime < b->record.llStartPlayTime;
  });
  std::int64_t origin = 0;
  if (!keepLeadingBlank_ && !clips_.empty()) origin = spanOf(clips_.front()->record).start;
  std::vector<Clip*> order;
  order.reserve(clips_.size());
  for (auto& clip : clips_) {
    if (clip->prepare(rate, channels, origin))
      order.push_back(clip.get());
    else
      OvraPrintfTextA("soundmix: %s left out of the mix", clip->record.szFileName);
  }
  mixer_.start(std::move(order), rate, channels, lengthLocked());
}

void OvraMusicComponent::stopEncoding() {
  if (!job_) return;
  job_->cancel = true;
  if (job_->thread.joinable()) job_->thread.join();
  job_.reset();
}

void OvraMusicComponent::stopAll() {
  player_.reset();
  stopEncoding();
  pulling_ = false;
  mixer_.stop();
}

bool OvraMusicComponent::play() {
  std::lock_guard control(control_);
  if (!player_) {
    stopAll();
    try {
      player_ = std::make_unique<Player>(
          mixer_, [this](std::int32_t kind, std::int32_t value) { notify(kind, value); });
    } catch (const std::exception& e) {
      OvraPrintfTextA("soundmix: cannot play: %s", e.what());
      return false;
    }
    startMixer(kPlayRate, kPlayChannels);
  }
  return player_->play();
}

void OvraMusicComponent::pause() {
  std::lock_guard control(control_);
  if (player_) player_->close();
}

bool OvraMusicComponent::seek(std::int64_t position) {
  std::lock_guard control(control_);
  if (player_) {
    player_->seek(position);
    return true;
  }
  if (!pulling_) return false;
  mixer_.seek(std::max<std::int64_t>(0, position));
  return true;
}

void OvraMusicComponent::stopPlayback() {
  std::lock_guard control(control_);
  if (!player_) return;
  player_->close();
  player_->seek(0);
}

bool OvraMusicComponent::startEncoding(const char* path, std::int32_t bitRate,
                                       std::int32_t outputFormat) {
  if (!path || !*path) {
    OvraPrintfTextA("soundmix: no file to encode the mix into");
    return false;
  }
  std::lock_guard control(control_);
  stopAll();
  startMixer(0, 0);
  auto job = std::make_unique<EncodingJob>();
  job->path = path;
  {
    std::lock_guard guard(lock_);
    job->params = {nullptr, outputFormat, OVRA_NO_VIDEO, 1, rate_, 16, channels_, bitRate};
  }
  job->params.outputPath = job->path.c_str();
  try {
    job->thread = std::thread([this, j = job.get()] { encode(*j); });
  } catch (const std::exception& e) {
    OvraPrintfTextA("soundmix: cannot start encoding: %s", e.what());
    mixer_.stop();
    return false;
  }
  job_ = std::move(job);
  return true;
}

void OvraMusicComponent::encode(EncodingJob& job) {
  OvraEncoder* encoder = OvraInitializeEncoder(&job.params);
  if (!encoder) {
    job.finished = true;
    notify(OVRA_MUSIC_FINISHED, OVRA_MUSIC_FAILURE);
    return;
  }
  notify(OVRA_MUSIC_STARTED, 0);
  const std::int64_t perSecond = mixer_.bytesPerSecond();
  const std::int64_t totalBytes = mixer_.totalBytes();
  std::int64_t bytes = 0;
  std::int64_t lastSecond = -1;
  bool failed = false;
  Block block;
  while (!job.cancel && mixer_.take(block) == Mixer::Take::Block) {
    // The last block is cut where the timeline ends, so that the file is the timeline's length
    // rather than up to a block longer.
    const auto n =
        static_cast<std::int32_t>(std::min<std::int64_t>(kBlockBytes, totalBytes - bytes));
    if (n <= 0) break;
    bytes += n;
    if (!OvraAddAudioFrame(block.samples.data(), n, encoder)) {
      failed = true;
      break;
    }
    // One report a second of sound: a caller posting each one must not be flooded.
    const std::int64_t second = bytes / perSecond;
    if (second != lastSecond) {
      lastSecond = second;
      notify(OVRA_MUSIC_PROGRESS, static_cast<std::int32_t>(second));
    }
  }
  const bool cancelled = job.cancel;
  const bool closed = OvraCloseAudio(encoder) != 0;
  const bool released = OvraDeInitializeEncoder(encoder) != 0;
  std::int32_t result = OVRA_MUSIC_SUCCESS;
  if (cancelled)
    result = OVRA_MUSIC_CANCELLED;
  else if (failed || !closed || !released ||
           ovra::soundmix::scale(bytes, kSecond, perSecond) * 2 < mixer_.total())
    result = OVRA_MUSIC_FAILURE;
  // A half-written file must not pass for the mix.
  if (result != OVRA_MUSIC_SUCCESS && unlink(job.path.c_str()) != 0)
    OvraPrintfTextA("soundmix: cannot remove the unfinished %s", job.path.c_str());
  job.finished = true;
  notify(OVRA_MUSIC_FINISHED, result);
}

bool OvraMusicComponent::cancelEncoding() {
  std::lock_guard control(control_);
  if (!job_ || job_->finished) return false;
  job_->cancel = true;
  return true;
}

bool OvraMusicComponent::startPulling() {
  std::lock_guard control(control_);
  stopAll();
  startMixer(0, 0);
  pulling_ = true;
  return true;
}

bool OvraMusicComponent::pull(tagAudioFrame& frame) {
  std::lock_guard control(control_);
  if (!pulling_) return false;
  Block block;
  if (mixer_.take(block) != Mixer::Take::Block) return false;
  std::memcpy(frame.samples, block.samples.data(), kBlockBytes);
  frame.byteCount = kBlockBytes;
  frame.startTime = block.start;
  return true;
}
