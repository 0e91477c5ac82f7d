#include "galleria/publish/music_stage.h"

#include <soundmix/soundmix.h>

#include <fstream>
#include <sstream>
#include <system_error>

#include "galleria/app_folder.h"
#include "galleria/error.h"
#include "galleria/publish/publish_messages.h"

namespace galleria::publish {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kFadeTicks = 3 * kTicksPerSecond;
constexpr std::int32_t kMusicBitRate = 128000;
constexpr std::int32_t kMp3 = 16;

void PostToWindow(std::int32_t kind, std::int32_t value, void* window) {
  winmsg::post(static_cast<winmsg::WindowHandle>(window), kMsgMusicNotify, kind, value);
}

// The last mix is kept beside the photos' copies, which live as long as the working photos do.
std::filesystem::path KeptMix() {
  return TempImgFolder() / "MusicMix.mp3";
}
std::filesystem::path KeptMixKey() {
  return TempImgFolder() / "MusicMix.key";
}

std::string FileStamp(const std::filesystem::path& file) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  const auto time = std::filesystem::last_write_time(file, ec);
  return std::to_string(size) + " " + std::to_string(time.time_since_epoch().count());
}

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

MusicStage::MusicStage(const TProjItem& project, winmsg::WindowHandle window)
    : component_(OvraInitializeMusicComponent(PostToWindow, window, nullptr)), window_(window) {
  if (!component_) throw GalleriaError("Cannot start the music mixer");
  std::int64_t startPlayTime = 0;
  for (int i = 0; i < project.Audios().Count(); ++i) {
    const TAudio& clip = project.Audios()[i];
    const std::int64_t length = (clip.EndTime() - clip.BeginTime()) * kTicksPerSecond;
    if (length <= 0) continue;
    TMusicElement* element = OvraAddMusicElement(clip.FileName().c_str(), component_);
    if (!element) continue;
    element->llClipStart = clip.BeginTime() * kTicksPerSecond;
    element->llClipLength = length;
    element->llStartPlayTime = startPlayTime;
    element->nClipValidate = 1;
    element->llFadeInLength = clip.bFadeIn() ? kFadeTicks : 0;
    element->llFadeOutLength = clip.FadeOut() ? kFadeTicks : 0;
    OvraMusicElementChanged(component_);
    key_ += clip.FileName() + "\n" + FileStamp(clip.FileName()) + " " +
            std::to_string(element->llClipStart) + " " + std::to_string(length) + " " +
            std::to_string(element->llStartPlayTime) + " " +
            std::to_string(element->llFadeInLength) + " " +
            std::to_string(element->llFadeOutLength) + "\n";
    startPlayTime += length;
    lengthSeconds_ = OvraGetMixAudioLength(component_) / kTicksPerSecond;
  }
}

MusicStage::~MusicStage() {
  OvraDeinitializeMusicComponent(component_);
}

std::filesystem::path MusicStage::OutputFile() {
  return TempFolder() / "TempMusic.mp3";
}

bool MusicStage::ReuseKeptMix() const {
  std::error_code ec;
  if (ReadAll(KeptMixKey()) != key_ || !std::filesystem::is_regular_file(KeptMix(), ec))
    return false;
  std::filesystem::copy_file(KeptMix(), OutputFile(),
                             std::filesystem::copy_options::overwrite_existing, ec);
  return !ec;
}

bool MusicStage::Start() {
  key_ += "bit rate " + std::to_string(kMusicBitRate) + "\n";
  if (ReuseKeptMix()) {
    winmsg::post(window_, kMsgMusicNotify, OVRA_MUSIC_STARTED, 0);
    winmsg::post(window_, kMsgMusicNotify, OVRA_MUSIC_FINISHED, OVRA_MUSIC_SUCCESS);
    return true;
  }
  return OvraStartMixAudio(OutputFile().c_str(), component_, kMusicBitRate, kMp3);
}

void MusicStage::Keep() const {
  // Key last: a mix that was not copied whole is never taken for the kept one.
  std::error_code ec;
  std::filesystem::remove(KeptMixKey(), ec);
  std::filesystem::copy_file(OutputFile(), KeptMix(),
                             std::filesystem::copy_options::overwrite_existing, ec);
  if (!ec) std::ofstream(KeptMixKey(), std::ios::binary) << key_;
}

void MusicStage::Cancel() {
  OvraCancelMixAudio(component_);
}

std::int64_t MusicFileSeconds(const std::filesystem::path& file) {
  OvraMusicComponent* component = OvraInitializeMusicComponent(nullptr, nullptr, nullptr);
  const TMusicElement* element = component ? OvraAddMusicElement(file.c_str(), component) : nullptr;
  const std::int64_t seconds = element ? element->llFileLength / kTicksPerSecond : -1;
  OvraDeinitializeMusicComponent(component);
  return seconds;
}

}  // namespace galleria::publish
