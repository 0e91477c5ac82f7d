// The catalogue, the parameter lister and the flat exports.

#include <atomic>
#include <cstdlib>
#include <cstring>

#include <pixfx/pixfx.h>

#include "pix_base.h"

namespace pixfx {
namespace {

struct ParamDef {
  const char* name;
  std::int32_t defaultValue;
};

// Parameter lists by effect id. Noise and wave are not offered, and the video effect is offered
// without a lister, but their lists are kept so that a caller asking by id gets them.
const ParamDef kBrightness[] = {{"Brightness", 50}};
const ParamDef kContrast[] = {{"Contrast", 50}};
const ParamDef kGamma[] = {{"Gamma", 50}};
const ParamDef kEmboss[] = {{"Emboss", 5}};
const ParamDef kGrid[] = {{"Size", 50}, {"Depth", 20}};
const ParamDef kNoise[] = {{"Level", 50}};
const ParamDef kPosterize[] = {{"Level", 10}};
const ParamDef kSolarize[] = {{"Threshold", 10}};
const ParamDef kThreshold[] = {{"Level", 50}};
const ParamDef kVideo[] = {{"Level", 0}, {"Wavelength", 25}, {"Amplitude", 30}};
const ParamDef kWave[] = {{"Wavelength", 25}, {"Amplitude", 30}};

struct ParamList {
  const ParamDef* defs;
  int count;
};

template <int N>
constexpr ParamList List(const ParamDef (&defs)[N]) {
  return {defs, N};
}

ParamList ParamsOf(std::int32_t id) {
  switch (id) {
    case kPixfxBrightness:
      return List(kBrightness);
    case kPixfxContrast:
      return List(kContrast);
    case kPixfxGamma:
      return List(kGamma);
    case kPixfxEmboss:
      return List(kEmboss);
    case kPixfx3DGrid:
      return List(kGrid);
    case kPixfxNoise:
      return List(kNoise);
    case kPixfxPosterize:
      return List(kPosterize);
    case kPixfxSolarize:
      return List(kSolarize);
    case kPixfxThreshold:
      return List(kThreshold);
    case kPixfxVideo:
      return List(kVideo);
    case kPixfxWave:
      return List(kWave);
    default:
      return {nullptr, 0};
  }
}

std::int32_t ListEffectParams(std::int32_t effectId, EffectParamProc proc, void* user) {
  if (proc == nullptr) return 0;
  const ParamList list = ParamsOf(effectId);
  for (int i = 0; i < list.count; ++i) {
    EffectParamInfo info{};
    info.effectId = effectId;
    std::strncpy(info.name, list.defs[i].name, sizeof info.name - 1);
    info.defaultValue = list.defs[i].defaultValue;
    try {
      proc(&info, user);
    } catch (...) {
      return i;  // a callback's exception must not leave the library
    }
  }
  return list.count;
}

constexpr EffectParamLister kLister = &ListEffectParams;

// The catalogue in the order choosers show it; the entry with id -1 ends it. The names are the
// ones users have always seen, misspellings included.
const EffectInfo kEffects[] = {
    {kPixfxGray, "Gray", nullptr, 0},
    {kPixfxInvert, "Invert", nullptr, 0},
    {kPixfxBrightness, "Brightness", kLister, 0},
    {kPixfxContrast, "Contrast", kLister, 0},
    {kPixfxGamma, "Gamma", kLister, 0},
    {kPixfxSepia, "Sepia", nullptr, 0},
    {kPixfxEmboss, "Embossment", kLister, 0},
    {kPixfxFlipHorizontal, "Filp Horizontally", nullptr, 0},
    {kPixfxFlipVertical, "Filp Vertically", nullptr, 0},
    {kPixfx3DGrid, "3DGrid", kLister, 0},
    {kPixfxPosterize, "Posterization", kLister, 0},
    {kPixfxSolarize, "Solarization", kLister, 0},
    {kPixfxThreshold, "Threshold", kLister, 0},
    {kPixfxVideo, "Video", nullptr, 0},
    {kPixfxHalftone, "Halftone", nullptr, 0},
    {kPixfxNone, "", nullptr, 0},
};

// The start marker: one byte made by the first call and released by OvraEffectDestory. Made
// with a compare-and-swap so that racing first calls cannot leak or double-free it.
std::atomic<std::uint8_t*> g_start_marker{nullptr};

void TouchStartMarker() {
  if (g_start_marker.load(std::memory_order_acquire) != nullptr) return;
  auto* marker = static_cast<std::uint8_t*>(std::malloc(1));
  if (marker == nullptr) return;
  *marker = 1;
  std::uint8_t* expected = nullptr;
  if (!g_start_marker.compare_exchange_strong(expected, marker, std::memory_order_acq_rel)) {
    std::free(marker);
  }
}

// Copies first into second in memory row order, as much as both frames hold.
bool CopyFrame(const tagVideoFrame* first, const tagVideoFrame* second) {
  PixFrame src, dst;
  if (!MakeFrameView(first, src) || !MakeFrameView(second, dst)) return false;
  const int rows = src.height < dst.height ? src.height : dst.height;
  const int columns = src.width < dst.width ? src.width : dst.width;
  for (int r = 0; r < rows; ++r) {
    std::memmove(dst.pixels + r * dst.stride, src.pixels + r * src.stride,
                 static_cast<std::size_t>(columns) * 4);
  }
  return true;
}

std::int32_t DoEffect(tagVideoFrame* frame, const FilterEntry* entry) {
  TouchStartMarker();
  if (entry == nullptr) return 0;
  if (entry->id == kPixfxNone || !IsKnownEffect(entry->id)) return 1;
  PixFrame view;
  if (!MakeFrameView(frame, view)) return 0;
  return ApplyEffect(entry->id, entry->param1, entry->param2, view) ? 1 : 0;
}

}  // namespace
}  // namespace pixfx

extern "C" {

void OvraEnumEffect(EffectInfoProc proc, void* user) {
  try {
    pixfx::TouchStartMarker();
    if (proc == nullptr) return;
    for (const EffectInfo& info : pixfx::kEffects) {
      if (info.id == kPixfxNone || proc(&info, user) == 0) return;
    }
  } catch (...) {
  }
}

std::int32_t OvraDoEffect(tagVideoFrame* frame, const FilterEntry* entry, void* /*reserved*/) {
  try {
    return pixfx::DoEffect(frame, entry);
  } catch (...) {
    return 0;
  }
}

std::int32_t OvraDoEffectEx(tagVideoFrame* frame, tagVideoFrame* second, const FilterEntry* entry,
                            void* /*reserved*/) {
  try {
    if (entry == nullptr || entry->id != kPixfxNone) return pixfx::DoEffect(frame, entry);
    pixfx::TouchStartMarker();
    return pixfx::CopyFrame(frame, second) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

void OvraEffectDestory(void) {
  std::free(pixfx::g_start_marker.exchange(nullptr));
}

}  // extern "C"
