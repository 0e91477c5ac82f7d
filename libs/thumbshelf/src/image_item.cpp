#include "thumbshelf/image_item.h"

#include <corekit/local_memory.h>
#include <gfx/decode.h>
#include <gfx/draw.h>
#include <gfx/scaled_decode.h>
#include <jotter/jotter.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

namespace {

struct Fit {
  int x, y, width, height;
};

// The picture (w x h) inside a box with its proportions kept, scaled down only when larger,
// centred.
Fit fitInto(int w, int h, int boxWidth, int boxHeight) {
  int dw = w, dh = h;
  if (w > boxWidth || h > boxHeight) {
    const double scale =
        std::min(static_cast<double>(boxWidth) / w, static_cast<double>(boxHeight) / h);
    dw = std::clamp(static_cast<int>(std::lround(w * scale)), 1, boxWidth);
    dh = std::clamp(static_cast<int>(std::lround(h * scale)), 1, boxHeight);
  }
  return {(boxWidth - dw) / 2, (boxHeight - dh) / 2, dw, dh};
}

gfx::BitmapView viewOf(const tagVideoFrame& frame) {
  return {frame.pixels, frame.width, frame.height, frame.stride};
}

std::string fileName(const char* path) {
  const std::string text = path != nullptr ? path : "";
  const std::size_t slash = text.find_last_of('/');
  return slash == std::string::npos ? text : text.substr(slash + 1);
}

}  // namespace

CImageItem::CImageItem(const char* path, const char* caption)
    : path_(path != nullptr ? path : ""),
      caption_(caption != nullptr && *caption != 0 ? caption : fileName(path)),
      description_(path_) {
  SetElementType(ELEMENT_OBJECT_IMAGE);
}

CImageItem::CImageItem(const ExplorerItemData* item) {
  SetElementType(ELEMENT_OBJECT_IMAGE);
  if (item == nullptr) return;
  if (item->caption != nullptr) caption_ = item->caption;
  if (item->description != nullptr) description_ = item->description;
  SetReservedData(item->reserved1, item->reserved2);
  if (item->stream != nullptr && item->stream->GetLength() > 0) {
    const std::int32_t length = item->stream->GetLength();
    bytes_ = static_cast<std::uint8_t*>(GetLocalMemory(length));
    if (bytes_ != nullptr) {
      std::memcpy(bytes_, item->stream->GetData(), static_cast<std::size_t>(length));
      bytesLength_ = length;
    } else {
      OvraPrintfTextA("Image item: no memory for a picture of %d bytes", length);
    }
  }
}

CImageItem::~CImageItem() {
  freeFrame(&thumbnail_);
  FreeLocalMemory(bytes_);
}

// The first bytes of the picture, to tell its kind.
bool CImageItem::IsJpeg() const {
  if (bytes_ != nullptr)
    return gfx::sniffFormat(bytes_, static_cast<std::size_t>(bytesLength_)) ==
           gfx::PictureFormat::Jpeg;
  char head[3] = {};
  std::ifstream(path_, std::ios::binary).read(head, sizeof head);
  return gfx::sniffFormat(head, sizeof head) == gfx::PictureFormat::Jpeg;
}

bool CImageItem::Initialize() {
  if (loaded_) return true;
  if (bytes_ == nullptr && path_.empty()) return false;
  // Decoded straight to the drawn size (JPEG DCT scaling, the loaders' own shrinking): the full
  // picture is never in memory.
  int w = 0, h = 0;
  Fit fit{};
  const gfx::SizeChooser choose = [&](int width, int height, int& outWidth, int& outHeight) {
    w = width;
    h = height;
    fit = fitInto(w, h, std::min(w, kThumbnailWidth), std::min(h, kThumbnailHeight));
    outWidth = fit.width;
    outHeight = fit.height;
    return true;
  };
  gfx::Picture picture;
  gfx::DecodeStatus status = gfx::DecodeStatus::NotFound;
  if (IsJpeg()) {
    status = bytes_ != nullptr
                 ? gfx::decodeMemoryScaled(bytes_, static_cast<std::size_t>(bytesLength_), choose,
                                           picture)
                 : gfx::decodeFileScaled(std::filesystem::path(path_), choose, picture);
  } else {
    gfx::DecodeOptions options;
    options.fitWidth = kThumbnailWidth;
    options.fitHeight = kThumbnailHeight;
    status = bytes_ != nullptr ? gfx::decodeMemory(bytes_, static_cast<std::size_t>(bytesLength_),
                                                   picture, options)
                               : gfx::decodeFile(std::filesystem::path(path_), picture, options);
    int unused = 0;
    if (status == gfx::DecodeStatus::Ok)
      choose(picture.info.width, picture.info.height, unused, unused);
  }
  if (status != gfx::DecodeStatus::Ok || picture.empty() || w <= 0 || h <= 0) return false;

  tagVideoFrame frame{};
  if (!mallocFrame(&frame, std::min(w, kThumbnailWidth), std::min(h, kThumbnailHeight)))
    return false;
  if (!gfx::drawScaled(viewOf(frame), fit.x, fit.y, fit.width, fit.height, picture.view(),
                       gfx::Interpolation::HighQuality)) {
    freeFrame(&frame);
    return false;
  }
  freeFrame(&thumbnail_);
  thumbnail_ = frame;
  pictureWidth_ = w;
  pictureHeight_ = h;
  loaded_ = true;
  return true;
}

bool CImageItem::GetThumbnail(tagVideoFrame* frame, bool) {
  if (!loaded_ || frame == nullptr || frame->pixels == nullptr || frame->width <= 0 ||
      frame->height <= 0)
    return false;
  if (frame->width == thumbnail_.width && frame->height == thumbnail_.height)
    return copyFrame(frame, &thumbnail_);
  const Fit fit = fitInto(thumbnail_.width, thumbnail_.height, frame->width, frame->height);
  return gfx::drawScaled(viewOf(*frame), fit.x, fit.y, fit.width, fit.height, viewOf(thumbnail_),
                         gfx::Interpolation::HighQuality);
}

bool CImageItem::GetThumbnail(tagVideoFrame* frame, int, bool exact) {
  return GetThumbnail(frame, exact);
}

const char* CImageItem::GetCaption() {
  return caption_.empty() ? "None Caption" : caption_.c_str();
}

bool CImageItem::UpdateCaption(const char* caption) {
  if (caption == nullptr) return false;
  caption_ = caption;
  return true;
}

const char* CImageItem::GetDescription() {
  return description_.empty() ? "None Description" : description_.c_str();
}

const char* CImageItem::GetFilePath() {
  return path_.empty() ? nullptr : path_.c_str();
}

// Read once: sorting compares every item many times.
std::int64_t CImageItem::TakeDateKey() {
  if (!dateKnown_) {
    dateKey_ = GetTakeDateTime(GetFilePath());
    dateKnown_ = true;
  }
  return dateKey_;
}

int CImageItem::ElementEqual(CElementObject* other, CompareType type) {
  if (other == nullptr) return 0;
  std::int64_t a = 0, b = 0;
  switch (type) {
    case COMPARE_FILE_SIZE:
      a = GetObjectSize(GetFilePath());
      b = GetObjectSize(other->GetFilePath());
      break;
    case COMPARE_MODIFY_DATE:
      a = GetModifyDate(GetFilePath());
      b = GetModifyDate(other->GetFilePath());
      break;
    case COMPARE_TAKE_DATE: {
      a = TakeDateKey();
      auto* item = dynamic_cast<CImageItem*>(other);
      b = item != nullptr ? item->TakeDateKey() : GetTakeDateTime(other->GetFilePath());
      break;
    }
    default:
      return CElementObject::ElementEqual(other, type);
  }
  return a < b ? -1 : (a > b ? 1 : 0);
}

CImageItemList::CImageItemList() : CClipList(kDefaultCapacity) {}

CImageItemList::~CImageItemList() {
  StopDecodeThread();
}

CElementObject* CImageItemList::CreateElement(CVXMemoryStream* stream) {
  if (stream == nullptr || stream->GetLength() <= 0) return nullptr;
  ExplorerItemData item;
  item.stream = stream;
  return new CImageItem(&item);
}

CElementObject* CImageItemList::CreateElement(const ExplorerItemData* item) {
  if (item == nullptr) return nullptr;
  return new CImageItem(item);
}

// An image list holds pictures only.
CElementObject* CImageItemList::CreateElement(std::uint32_t) {
  return nullptr;
}

CElementObject* CImageItemList::CreateElement(const char* path, const char* caption) {
  if (path == nullptr || *path == 0) return nullptr;
  return new CImageItem(path, caption);
}
