#pragma once
// The music mixing component: clips of sound files laid on one timeline, trimmed, faded, mixed,
// then played through the sound device, pulled block by block, or encoded into an MP3 file.
//
// Every call takes the component handle last (the start-mix call second) and does nothing,
// returning false, 0 or null, when the handle is null. Nothing throws. Times are signed counts of
// 100 ns.
//
// Threads: notifications arrive on the component's encoder thread or on the sound device's thread,
// never on the caller's. A notification function should only hand the news on (post a message): it
// must not call back into the component and must not wait for the thread that destroys the
// component, because destroying (and every call that stops a running job) waits for those threads.

#include <codecs-api/codecs.h>

#include <cstdint>

extern "C" {

// The longest path a clip record holds, terminator included: the longest the system can open.
// Longer paths are refused, never shortened.
constexpr int OVRA_MUSIC_PATH_BYTES = 4096;
// Clips a component holds at the most.
constexpr int OVRA_MUSIC_MAX_CLIPS = 512;

// One clip. The caller may read and write the fields in place; after changing any of them it calls
// OvraMusicElementChanged before playing or encoding again.
struct TMusicElement {
  char szFileName[OVRA_MUSIC_PATH_BYTES];  // UTF-8, zero-terminated
  std::int64_t llFileLength;               // duration of the file's sound
  std::int64_t llClipLength;               // length of the part used
  std::int64_t llClipStart;                // start of the part used, within the file
  std::int64_t llStartPlayTime;            // where the clip begins on the timeline
  std::int64_t llFadeInLength;             // linear fade-in; 0 = none
  std::int64_t llFadeOutLength;            // linear fade-out; 0 = none
  // 0: the whole file from its start (llFileLength long); otherwise only llClipStart ..
  // llClipStart + llClipLength.
  std::int32_t nClipValidate;
  std::int32_t nVolume;  // percent; 100 = unchanged
  std::uint32_t id;      // given by the component: 0, 1, 2 ... in the order of adding
};

// Notification kinds and the values of OVRA_MUSIC_FINISHED.
enum OvraMusicNotification : std::int32_t {
  OVRA_MUSIC_PROGRESS = 0,  // value: whole seconds of the timeline played or encoded
  OVRA_MUSIC_FINISHED = 1,  // value: one of the three below; the end of playback reports success
  OVRA_MUSIC_STARTED = 2,   // encoding started; value 0
};
enum OvraMusicResult : std::int32_t {
  OVRA_MUSIC_SUCCESS = 0,
  OVRA_MUSIC_FAILURE = 1,
  OVRA_MUSIC_CANCELLED = 2,
};

typedef void (*OvraMusicNotify)(std::int32_t kind, std::int32_t value, void* user);

struct OvraMusicComponent;

// Starts the codec library and makes a component: 44100 Hz stereo output by default, the timeline
// starting at the earliest clip. notify may be null. The parent window is accepted for the
// interface's sake; the component shows nothing. Null when memory runs out.
OvraMusicComponent* OvraInitializeMusicComponent(OvraMusicNotify notify, void* user,
                                                 void* parentWindow);
// Stops playback, encoding and mixing, unloads every clip and frees the component.
void OvraDeinitializeMusicComponent(OvraMusicComponent* component);

// Adds a clip for the file's first sound stream, covering the whole file at full volume without
// fades, placed at 0. The record belongs to the component and stays valid until the clip is
// deleted or the component destroyed. Null for a file without sound, one that cannot be opened,
// a path too long, or when 512 clips exist.
TMusicElement* OvraAddMusicElement(const char* path, OvraMusicComponent* component);
// Adds a clip with the record's settings (a null record gives zeros, whose empty path fails); the
// id is given anew and a length of 0 is replaced by the file's. False when the file is refused as
// above or the settings fail the checks of OvraUpdateMusicElement.
bool OvraAddMusicElementEx(const TMusicElement* element, OvraMusicComponent* component);
// Removes and unloads the clip with the id (a running job is stopped first); later clips move up.
// An unknown id changes nothing.
void OvraDeleteMusicElement(std::uint32_t id, OvraMusicComponent* component);
// Copies llClipLength, llClipStart, llStartPlayTime, both fades and nVolume of the record into the
// clip with the id. False, changing nothing, when the id is unknown or the values fail the checks:
// no negative time; clip start + clip length within the file (the record's llFileLength when the
// clip's own is 0); fade-in + fade-out within the clip length.
bool OvraUpdateMusicElement(std::uint32_t id, const TMusicElement* element,
                            OvraMusicComponent* component);
// To be called after any direct change of a clip record: stops and frees the player, cancels a
// running encoding and waits for it, and stops the mixer.
void OvraMusicElementChanged(OvraMusicComponent* component);

// The timeline's length: the latest clip end, less the earliest clip start unless the leading
// blank is kept. 0 without clips.
std::int64_t OvraGetMixAudioLength(OvraMusicComponent* component);
// Non-zero: the timeline starts at 0 rather than at the earliest clip.
void OvraMixBlankValidate(std::uint8_t keepLeadingBlank, OvraMusicComponent* component);
// The output format of encoding and pulling (1000 .. 384000 Hz, 1 .. 8 channels; other values
// are refused and logged). The encoder writes 1 or 2 channels at an MP3 rate only.
void OvraSetMixParameter(std::int32_t sampleRate, std::int32_t channels,
                         OvraMusicComponent* component);

// Preview through the sound device at 48000 Hz stereo. Play starts (mixing afresh after a change)
// or resumes; false when the device cannot be opened (one component at a time may hold it).
bool OvraPlayMixAudio(OvraMusicComponent* component);
// Closes the device; the position is kept for the next play.
void OvraPauseMixAudio(OvraMusicComponent* component);
// Moves playback, or the blocks being pulled, to the position from the timeline's start (negative
// counts as 0; past the end ends playback at once). False when neither is going on.
bool OvraSeekMixAudio(std::int64_t position, OvraMusicComponent* component);
// Closes the device and rewinds to the start.
void OvraStopMixAudio(OvraMusicComponent* component);

// Stops everything, then mixes at the output format and encodes into an MP3 file at path on a new
// thread, notifying STARTED, PROGRESS each block and FINISHED once. outputFormat is
// OVRA_OUTPUT_MP3 (16), as the publisher passes it. True when the thread started; a file that
// cannot be written is reported as FINISHED with FAILURE.
bool OvraStartMixAudio(const char* path, OvraMusicComponent* component, std::int32_t bitRate,
                       std::int32_t outputFormat);
// Asks the running encoding to stop; it then reports FINISHED with CANCELLED. False when none runs.
bool OvraCancelMixAudio(OvraMusicComponent* component);

// Restarts the mixer at the output format for pulling blocks (stopping playback and encoding).
bool OvraStartGetMixAudio(OvraMusicComponent* component);
// The next 4096 bytes of the mix into frame->samples: byteCount 4096, startTime the block's
// position on the timeline. False at the end (or when the mixer is not running).
bool OvraGetNextMixAudio(tagAudioFrame* frame, OvraMusicComponent* component);

}  // extern "C"
