#pragma once
// Stage 1 of publishing: the project's music clips mixed back to back into Temp/TempMusic.mp3.
// The mixer's notifications reach the progress window as message 6009 (kind, value).

#include <cstdint>
#include <filesystem>
#include <string>

#include "galleria/model/gallery.h"
#include "winmsg/winmsg.h"

struct OvraMusicComponent;

namespace galleria::publish {

class MusicStage {
 public:
  // Adds every clip the mixer accepts, trimmed as the project says, with 3-second fades where
  // asked; a clip it refuses is skipped and does not move the next one.
  MusicStage(const TProjItem& project, winmsg::WindowHandle window);
  // Stops a running mix and releases the mixer.
  ~MusicStage();
  MusicStage(const MusicStage&) = delete;
  MusicStage& operator=(const MusicStage&) = delete;

  // The mixed length in whole seconds.
  std::int64_t LengthSeconds() const { return lengthSeconds_; }
  // Starts mixing into Temp/TempMusic.mp3 at 128000 bit/s; false when the mix could not start.
  // When the same clips were mixed before, the kept mix is used and the window hears at once
  // that mixing started and finished.
  bool Start();
  void Cancel();
  // After a successful mix: keeps it for the next publish of the same clips.
  void Keep() const;

  static std::filesystem::path OutputFile();

 private:
  bool ReuseKeptMix() const;

  OvraMusicComponent* component_;
  winmsg::WindowHandle window_;
  std::int64_t lengthSeconds_ = 0;
  std::string key_;  // what the mix is made of: files as they are on disk, trims and fades
};

// The length of a sound file's audio in whole seconds, as the mixer reads it; -1 when the mixer
// cannot use the file.
std::int64_t MusicFileSeconds(const std::filesystem::path& file);

}  // namespace galleria::publish
