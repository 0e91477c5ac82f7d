#include "galleria/publish/music_stage.h"

#include <soundmix/soundmix.h>

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

}  // namespace

MusicStage::MusicStage(const TProjItem& project, winmsg::WindowHandle window)
    : component_(OvraInitializeMusicComponent(PostToWindow, window, nullptr)) {
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

bool MusicStage::Start() {
  return OvraStartMixAudio(OutputFile().c_str(), component_, kMusicBitRate, kMp3);
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
