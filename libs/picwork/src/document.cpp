#include "picwork/document.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <corekit/memory_stream.h>
#include <gfx/decode.h>

namespace {

// A double from outside (an edit-data block) as a pixel coordinate: NaN and values out of
// range must not reach a conversion to int, whose result would be undefined.
std::int32_t ToPixel(double v) {
  if (!(v > -1e9)) return v != v ? 0 : -1'000'000'000;
  if (v > 1e9) return 1'000'000'000;
  return static_cast<std::int32_t>(std::floor(v));
}

}  // namespace

CImageDocument::CImageDocument(CWin32View* v) : view(v) {}

CImageDocument::~CImageDocument() = default;

void CImageDocument::Reset() {
  output.reset();
  rotated.reset();
  source.reset();
  filtered.reset();
  preview.reset();
  texts.clear();
  filters.clear();
  crop = {0, 0, 1, 1};
  flip = 0;
  turn = 0;
  nextTextId_ = 1;
  nextFilterPosition_ = 1;
}

bool CImageDocument::FinishSourceLoad(bool takeEditSize, CVXMemoryStream* edits,
                                      bool selectionFrames) {
  if (takeEditSize) source->GetSize(&editWidth, &editHeight);
  output = std::make_unique<COvraImage>();
  if (!output->CreateBlank(source->Width(), source->Height(), 0)) {
    Reset();
    return false;
  }
  if (edits != nullptr) {
    EditData data;
    if (picwork::ReadEditData(*edits, data)) SetEdits(data);
    ApplyFilters();
  }
  if (!Render(selectionFrames)) {
    Reset();
    return false;
  }
  return true;
}

bool CImageDocument::LoadFile(const char* path, bool selectionFrames) {
  return LoadFileWithData(path, nullptr, selectionFrames);
}

bool CImageDocument::LoadFileWithData(const char* path, CVXMemoryStream* edits,
                                      bool selectionFrames) {
  Reset();
  textScaleByWidthOnly = 1;
  sourcePath = path != nullptr ? path : "";
  source = std::make_unique<COvraImage>();
  if (path == nullptr || !source->LoadFile(path)) {
    Reset();
    return false;
  }
  if (edits != nullptr) editWidth = editHeight = 0;  // from the block, if it has one
  return FinishSourceLoad(edits == nullptr, edits, selectionFrames);
}

bool CImageDocument::LoadColor(std::int32_t width, std::int32_t height, std::uint32_t fill,
                               bool selectionFrames) {
  return LoadColorWithData(fill, width, height, nullptr, selectionFrames);
}

bool CImageDocument::LoadColorWithData(std::uint32_t fill, std::int32_t width, std::int32_t height,
                                       CVXMemoryStream* edits, bool selectionFrames) {
  Reset();
  textScaleByWidthOnly = 0;
  colorWidth = width;
  colorHeight = height;
  color = fill;
  // A block sets its own edit size; one with another tag leaves the fill's.
  editWidth = width;
  editHeight = height;
  source = std::make_unique<COvraImage>();
  if (!source->CreateBlank(width, height, 0) || !source->Clear(fill)) {
    Reset();
    return false;
  }
  return FinishSourceLoad(false, edits, selectionFrames);
}

bool CImageDocument::LoadFrame(const tagVideoFrame* frame, CVXMemoryStream* edits,
                               bool selectionFrames) {
  Reset();
  textScaleByWidthOnly = 1;
  sourcePath.clear();
  source = std::make_unique<COvraImage>();
  if (!source->CreateFromFrame(frame)) {
    Reset();
    return false;
  }
  if (edits != nullptr) editWidth = editHeight = 0;
  return FinishSourceLoad(edits == nullptr, edits, selectionFrames);
}

void CImageDocument::ApplyFilters() {
  if (!source) return;
  preview.reset();
  if (filters.empty()) {
    filtered.reset();
    return;
  }
  if (!filtered || filtered->Width() != source->Width() || filtered->Height() != source->Height()) {
    filtered = std::make_unique<COvraImage>();
    if (!filtered->CreateBlank(source->Width(), source->Height(), 0)) {
      filtered.reset();
      return;
    }
  }
  // Cleared first: drawing the copy over the last filtered pixels would let them show through
  // wherever the source is transparent.
  filtered->Clear(0);
  filtered->DrawAt(*source, 0, 0);
  LockedPixels locked;
  if (!filtered->Lock(&locked)) return;
  tagVideoFrame frame{};
  frame.pixels = locked.pixels;
  frame.width = locked.width;
  frame.height = locked.height;
  frame.stride = locked.stride;
  frame.size = locked.width * locked.height * 4;
  for (const Filter& f : filters)
    if (f.entry.id != -1) OvraDoEffect(&frame, &f.entry, nullptr);
  filtered->Unlock(&locked);
}

bool CImageDocument::RenderText(TextItem& item, double scale) {
  TextFontInfo font = item.font;
  // Sizes from a block are outside data: beyond this no caption is legible on a photo, and the
  // font machinery would spend seconds and gigabytes on one glyph.
  constexpr std::int32_t kLargestPoints = 2000;
  font.size = std::clamp(ToPixel(font.size * scale), 0, kLargestPoints);
  COvraImage scratch;
  if (!scratch.Imp()->CreateBlank(200, 100, 0)) return false;
  float w = 0, h = 0;
  if (!scratch.MeasureText(item.caption, font, &w, &h)) return false;
  const std::int32_t iw = ToPixel(w + 0.5), ih = ToPixel(h + 0.5);
  auto text = std::make_unique<COvraImage>();
  if (!text->CreateBlank(iw, ih, 0)) return false;
  if (!text->DrawText(item.caption, font, 0, 0, false)) return false;
  text->Flip(item.flip, nullptr);
  auto turned = std::make_unique<COvraImage>();
  if (!text->Rotate(item.turn, turned.get())) return false;
  item.cached = std::move(turned);
  item.cachedScale = scale;
  return true;
}

bool CImageDocument::Render(bool selectionFrames) {
  if (!source) return false;
  const COvraImage& picture = filtered ? *filtered : *source;
  const std::int32_t pw = picture.Width(), ph = picture.Height();
  const std::int32_t ow = ToPixel(pw * crop.width), oh = ToPixel(ph * crop.height);
  if (output && output->Width() == ow && output->Height() == oh) {
    output->Clear(0);
  } else {
    output = std::make_unique<COvraImage>();
    if (!output->CreateBlank(ow, oh, 0)) {
      output.reset();
      return false;
    }
  }
  const std::int32_t cx = ToPixel(crop.x * pw), cy = ToPixel(crop.y * ph);
  // Nothing to draw when the crop lies outside the picture; the output stays blank.
  output->DrawScaled(picture, {0, 0, double(ow), double(oh)},
                     {double(cx), double(cy), double(ow), double(oh)}, SCALE_BILINEAR);

  if (!texts.empty()) {
    double scale = 1.0;
    if (editWidth != 0 && source->Width() != editWidth) {
      scale = double(source->Width()) / editWidth;
      if (textScaleByWidthOnly == 0 && editHeight != 0)
        scale = std::min(scale, double(source->Height()) / editHeight);
    }
    for (TextItem& item : texts) {
      if (item.cached && item.cachedScale != scale) item.cached.reset();
      if (!item.cached && !RenderText(item, scale)) continue;
      item.width = static_cast<float>(item.cached->Width());
      item.height = static_cast<float>(item.cached->Height());
      const std::int32_t x = ToPixel(scale * item.x - cx), y = ToPixel(scale * item.y - cy);
      output->DrawAt(*item.cached, x, y);
      if (selectionFrames && item.selected)
        output->DrawRect({double(x), double(y), item.width, item.height}, DASH_DOT, 0xFF0000FF);
    }
  }
  if (flip != 0) output->Flip(flip, nullptr);
  if (turn != 0) {
    if (!rotated) rotated = std::make_unique<COvraImage>();
    output->Rotate(turn, rotated.get());
  }
  return true;
}

COvraImage* CImageDocument::Displayed() const {
  return turn != 0 && rotated ? rotated.get() : output.get();
}

bool CImageDocument::Save(const char* path, std::int32_t type, std::int32_t quality) {
  COvraImage* shown = Displayed();
  return shown != nullptr && shown->Imp()->Save(path, type, quality);
}

EditData CImageDocument::Edits() const {
  EditData data;
  data.editWidth = editWidth;
  data.editHeight = editHeight;
  data.crop = crop;
  data.turn = turn;
  data.flip = flip;
  for (const TextItem& item : texts) data.texts.push_back(item);
  for (const Filter& f : filters) data.filters.push_back(f.entry);
  return data;
}

void CImageDocument::SetEdits(const EditData& data) {
  editWidth = data.editWidth;
  editHeight = data.editHeight;
  crop = data.crop;
  turn = data.turn;
  flip = data.flip;
  texts.clear();
  for (const EditTextRecord& text : data.texts) {
    TextItem item;
    static_cast<EditTextRecord&>(item) = text;
    AddText(std::move(item));
  }
  filters.clear();
  for (const FilterEntry& entry : data.filters) AddFilter(entry);
}

std::int32_t CImageDocument::AddFilter(const FilterEntry& entry) {
  filters.push_back({entry, nextFilterPosition_});
  return nextFilterPosition_++;
}

std::int32_t CImageDocument::AddText(TextItem item) {
  if (item.id == -1)
    item.id = nextTextId_++;
  else if (item.id >= nextTextId_ && item.id < std::numeric_limits<std::int32_t>::max())
    nextTextId_ = item.id + 1;
  const std::int32_t id = item.id;
  texts.push_back(std::move(item));
  return id;
}
