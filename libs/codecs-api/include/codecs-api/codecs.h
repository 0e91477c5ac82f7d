#pragma once
// The codec library's contract: opening media files, decoding pictures and sound, scaling,
// resampling, MP3 encoding and the library's own heap.
//
// Every call returns non-zero for success (a pointer for the calls that make something) and
// 0 or null for failure, after writing one line to the log callback. A null handle or record makes
// a call a no-op that returns 0. Nothing throws. Times are signed counts of 100 ns, measured from
// the start of the media. Paths are UTF-8 and are never shortened.

#include <corekit/video_frame.h>

#include <cstdint>

extern "C" {

// --- records --------------------------------------------------------------------------------

enum OvraStreamType : std::int32_t { OVRA_STREAM_VIDEO = 0, OVRA_STREAM_AUDIO = 1 };

// One picture or sound stream of an opened file. Attached cover pictures are not streams.
struct OvraStreamInfo {
  std::int32_t type;      // OvraStreamType
  std::int64_t duration;  // whole seconds, to the nearest; at least 1 for a stream with any length
  // pictures (0 for a sound stream)
  std::int32_t frameRateNum;
  std::int32_t frameRateDen;
  std::int32_t width;
  std::int32_t height;
  // sound (0 for a picture stream)
  std::int32_t sampleRate;
  std::int32_t bitsPerSample;  // of the PCM delivered until OvraResample asks otherwise: 16
  std::int32_t channels;
};

// What OvraLoadMediaFile found: the picture and sound streams in file order. The streams belong to
// the record and live until it is loaded again or freed.
struct OvraFileFormatInfo {
  std::int32_t streamCount;
  OvraStreamInfo* streams;
};

constexpr std::int32_t OVRA_AUDIO_FRAME_BYTES = 576000;
constexpr std::int64_t OVRA_NO_TIME = INT64_MIN;

// Interleaved PCM in the format set with OvraResample.
struct tagAudioFrame {
  std::uint8_t samples[OVRA_AUDIO_FRAME_BYTES];
  std::int32_t byteCount;  // valid bytes at the start of samples
  std::int64_t startTime;  // of the first sample; OVRA_NO_TIME when unknown
};

constexpr std::int32_t OVRA_OUTPUT_MP3 = 16;  // the only output format: an MP3 file
constexpr std::int32_t OVRA_NO_VIDEO = -1;

// What the encoder is asked to write. Fields not listed here do not exist: a caller fills these.
struct OvraEncoderParams {
  const char* outputPath;      // UTF-8; copied by OvraInitializeEncoder
  std::int32_t outputFormat;   // OVRA_OUTPUT_MP3
  std::int32_t videoCodec;     // OVRA_NO_VIDEO
  std::int32_t audioStreams;   // 1
  std::int32_t sampleRate;     // of the PCM handed in and of the file
  std::int32_t bitsPerSample;  // 16: signed, little-endian, interleaved
  std::int32_t channels;       // 1 or 2
  std::int32_t bitRate;        // bit/s, a standard MP3 rate for the sample rate (128000 ...)
};

struct OvraMedia;    // an opened media file
struct OvraEncoder;  // an MP3 file being written

// One UTF-8 log line without a trailing newline.
typedef void (*OvraLogCallback)(const char* line);

// --- library --------------------------------------------------------------------------------

// Once per process before anything else. A null callback keeps the one given before.
std::int32_t OvraInitializeCodecs(OvraLogCallback log);
// At shutdown; drops the log callback. The other calls keep working without logging.
std::int32_t OvraDeInitializeCodecs(std::int32_t reserved);

std::int32_t OvraMallocFileFormatInfo(OvraFileFormatInfo** info);
std::int32_t OvraFreeFileFormatInfo(OvraFileFormatInfo* info);

// --- decoding -------------------------------------------------------------------------------

// Opens any media file the library reads; fills info when it is given (left empty on failure).
// Pictures come out at the file's own size and sound as 16-bit PCM at the file's own rate and
// channel count until told otherwise. The picture and sound calls may run on two threads at once.
OvraMedia* OvraLoadMediaFile(const char* path, OvraFileFormatInfo* info);
std::int32_t OvraUnloadMediaFile(OvraMedia* media);

// Sets the picture size of OvraGetNextVideoFrame. A value of 0 or less stands for the file's own
// size; larger than 16384 is limited to it. The size used is written back.
std::int32_t OvraResizeVideoSize(std::int32_t* width, std::int32_t* height, OvraMedia* media);
// Bytes of one picture at the current size (width * 4 * height); 0 without pictures.
std::int32_t OvraGetVideoBuffersize(OvraMedia* media);

// Sets the PCM of OvraGetNextAudioFrame: rate 1000 .. 384000 Hz, 8 (unsigned), 16 or 32 (signed)
// bits, 1 .. 8 channels. Mono spread over two channels is 3 dB lower in each (equal loudness);
// more channels are mixed down.
std::int32_t OvraResample(std::int32_t sampleRate, std::int32_t bits, std::int32_t channels,
                          OvraMedia* media);

// Writes the next picture as 32-bit ARGB into frame->pixels, which must hold frame->size bytes,
// at least OvraGetVideoBuffersize. Sets width, height, stride (width * 4), start and end time.
// With deinterlace non-zero the two fields of the picture are blended. 0 at the end.
std::int32_t OvraGetNextVideoFrame(tagVideoFrame* frame, OvraMedia* media,
                                   std::int32_t deinterlace);
// Writes the next decoded piece of sound (one codec frame, up to OVRA_AUDIO_FRAME_BYTES).
// 0 at the end.
std::int32_t OvraGetNextAudioFrame(tagAudioFrame* frame, OvraMedia* media);

// The next pictures and sound start at the first ones that end after time.
std::int32_t OvraSeekMediaFile(std::int64_t time, OvraMedia* media);
// Drop what has been read ahead for one stream, so that reading only the other stream does not
// pile it up. A stream read only occasionally skips forward to where the file is.
std::int32_t OvraFlushVideo(OvraMedia* media);
std::int32_t OvraFlushAudio(OvraMedia* media);

// --- pictures and heap ----------------------------------------------------------------------

// Scales source into destination's width and height (both ARGB; strides honoured; each buffer
// must hold stride * height bytes as its size says).
std::int32_t OvraResizeImage(const tagVideoFrame* source, tagVideoFrame* destination);

void* OvraMalloc(std::int32_t bytes);                // null for 0 or less
void* OvraRealloc(void* block, std::int32_t bytes);  // null and block untouched for 0 or less
void OvraFree(void* block);

// --- encoding -------------------------------------------------------------------------------

OvraEncoder* OvraInitializeEncoder(const OvraEncoderParams* params);
// Hands over PCM in the format of the parameters, a whole number of sample frames (the mixer
// passes blocks of 4096 bytes).
std::int32_t OvraAddAudioFrame(const void* pcm, std::int32_t bytes, OvraEncoder* encoder);
// Encodes what is left and completes the file; later OvraAddAudioFrame calls fail.
std::int32_t OvraCloseAudio(OvraEncoder* encoder);
// Releases the encoder; a file never completed with OvraCloseAudio is left as written so far.
std::int32_t OvraDeInitializeEncoder(OvraEncoder* encoder);

}  // extern "C"
