#pragma once
// The explorer's own list kind and its pictures.

#include <corekit/video_frame.h>
#include <mediaitems/element.h>

#include <cstdint>
#include <string>

#include "thumbshelf/clip_list.h"

// A picture given by its path or by its encoded bytes, with a caption and a description.
// After Initialize it keeps only its thumbnail (at most 400 x 300) and what the file said about
// itself (size, picture date): the full picture is decoded at a reduced size straight into the
// thumbnail and never held, so a list of hundreds of big photos costs a few hundred kilobytes
// each at most.
class CImageItem : public CElementObject {
 public:
  static constexpr int kThumbnailWidth = 400;
  static constexpr int kThumbnailHeight = 300;

  // The caption is the given text or, without one, the file name after the last '/'; the
  // description is the path.
  CImageItem(const char* path, const char* caption);
  // Copies the stream's whole contents (from its first byte), the texts and the reserved values.
  explicit CImageItem(const ExplorerItemData* item);
  ~CImageItem() override;

  // Decodes the picture (once) and makes its thumbnail: a frame of min(width, 400) x
  // min(height, 300) holding the picture with its proportions kept, scaled down only when
  // larger, centred. Whether a picture is loaded.
  bool Initialize() override;
  bool GetThumbnailOK() override { return loaded_; }
  bool InitializeOK() override { return loaded_; }
  // A copy when the frame has the thumbnail's size; otherwise the thumbnail drawn into the frame
  // (over what it holds) with its proportions kept, scaled down only when larger, centred.
  bool GetThumbnail(tagVideoFrame* frame, bool exact) override;
  bool GetThumbnail(tagVideoFrame* frame, int size, bool exact) override;
  const char* GetCaption() override;                 // or "None Caption"
  bool UpdateCaption(const char* caption) override;  // null: false
  const char* GetDescription() override;             // or "None Description"
  const char* GetFilePath() override;                // null for a picture given by its bytes
  // 3, 4 and 5: file size, modification key and picture date of the two paths (the picture
  // date of a loaded item is the one read while decoding it); others as for every element.
  int ElementEqual(CElementObject* other, CompareType type) override;

  const tagVideoFrame& Thumbnail() const { return thumbnail_; }
  // The picture's own size, upright; 0 x 0 before Initialize.
  int PictureWidth() const { return pictureWidth_; }
  int PictureHeight() const { return pictureHeight_; }
  std::int32_t EncodedLength() const { return bytesLength_; }

 private:
  std::int64_t TakeDateKey();
  bool IsJpeg() const;

  std::string path_;
  std::string caption_;
  std::string description_;
  std::uint8_t* bytes_ = nullptr;  // encoded picture in the shared heap, or null
  std::int32_t bytesLength_ = 0;
  tagVideoFrame thumbnail_{};
  bool loaded_ = false;
  int pictureWidth_ = 0;
  int pictureHeight_ = 0;
  bool dateKnown_ = false;
  std::int64_t dateKey_ = 0;
};

// The list the explorer window makes: CImageItem elements, capacity 512.
class CImageItemList : public CClipList {
 public:
  CImageItemList();
  ~CImageItemList() override;
  int GetListType() override { return 1; }

 protected:
  CElementObject* CreateElement(CVXMemoryStream* stream) override;
  CElementObject* CreateElement(const ExplorerItemData* item) override;
  CElementObject* CreateElement(std::uint32_t colour) override;
  CElementObject* CreateElement(const char* path, const char* caption) override;
};
