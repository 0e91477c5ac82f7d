#pragma once
// Per-pixel picture effects applied in place to a 32-bit frame, and the catalogue a front end
// builds its effect chooser from.
//
// Only the frame's pixels, width, height and stride are read. Effects change blue, green and red
// and keep alpha, except the wave, which writes whole pixels. Effects that depend on position
// number rows from the last row in memory (y = 0) up to the first one (y = height - 1), so y = 0
// is the bottom of a top-down picture; columns run from the left.
//
// Parameters are meant to lie in 0 ... 100 (the chooser's scale); each effect maps and limits
// them itself, so any 32-bit value is safe.
//
// Every call is safe from any thread on different frames; nothing here throws.

#include <cstdint>

#include <corekit/video_frame.h>

extern "C" {

// One applied effect. An id of -1 means "no effect".
struct FilterEntry {
  std::int32_t id;
  std::int32_t param1;
  std::int32_t param2;
  std::int32_t param3;  // carried along, read by no effect
};
static_assert(sizeof(FilterEntry) == 16, "FilterEntry is four 32-bit fields without gaps");

// Effect ids that OvraDoEffect applies. Noise and wave are applied but not offered in the
// catalogue.
enum PixfxEffectId : std::int32_t {
  kPixfxNone = -1,
  kPixfxGray = 0,
  kPixfxInvert = 1,
  kPixfxBrightness = 2,
  kPixfxContrast = 3,
  kPixfxGamma = 4,
  kPixfxSepia = 5,
  kPixfxEmboss = 6,
  kPixfxFlipHorizontal = 7,
  kPixfxFlipVertical = 8,
  kPixfx3DGrid = 9,
  kPixfxNoise = 10,
  kPixfxPosterize = 11,
  kPixfxSolarize = 12,
  kPixfxThreshold = 13,
  kPixfxVideo = 14,
  kPixfxWave = 15,
  kPixfxHalftone = 16,
};

// One parameter of an effect, made on the fly for a parameter lister's callback.
struct EffectParamInfo {
  std::int32_t effectId;
  char name[64];  // UTF-8, zero-terminated
  std::int32_t defaultValue;
};

// Receives one parameter; the lister calls it once per parameter whatever it returns.
typedef std::uint8_t (*EffectParamProc)(const EffectParamInfo* param, void* user);

// Calls proc once per parameter of effectId, in order; returns how many it listed (0 for an
// effect without parameters or a null proc). Callers need not look at the result.
typedef std::int32_t (*EffectParamLister)(std::int32_t effectId, EffectParamProc proc, void* user);

// One offered effect.
struct EffectInfo {
  std::int32_t id;
  char name[64];                  // UTF-8, zero-terminated
  EffectParamLister paramLister;  // null when the effect has no parameters
  std::intptr_t reserved;         // 0
};

// Receives one catalogue entry; returns non-zero to be given the next one.
typedef std::uint8_t (*EffectInfoProc)(const EffectInfo* effect, void* user);

// Hands every offered effect to proc in catalogue order until proc returns 0. A null proc does
// nothing.
void OvraEnumEffect(EffectInfoProc proc, void* user);

// Applies entry to frame in place. Returns 0 for a null entry, a null or malformed frame (null
// pixels, width or height below 1, |stride| below width * 4, or a non-zero size that does not
// cover the rows) or when the working copy the wave needs cannot be allocated; the frame is
// then unchanged. Returns 1 otherwise, also for id -1 and for unknown ids, which change nothing.
std::int32_t OvraDoEffect(tagVideoFrame* frame, const FilterEntry* entry, void* reserved);

// As OvraDoEffect, except that id -1 copies frame into second, row by row in memory order: as
// many rows and, per row, as many pixels as both frames have. second is read only for id -1.
std::int32_t OvraDoEffectEx(tagVideoFrame* frame, tagVideoFrame* second, const FilterEntry* entry,
                            void* reserved);

// Releases the library's start marker (made by the first OvraEnumEffect or OvraDoEffect call).
// Nothing depends on it; calling it any number of times is harmless.
void OvraEffectDestory(void);

}  // extern "C"
