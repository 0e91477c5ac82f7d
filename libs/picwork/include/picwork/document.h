#pragma once
// One image with its edits: source, filters, crop, flips, turn and texts, and the rendering of
// the result.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "picwork/edit_data.h"
#include "picwork/image.h"

// A caption laid over the photo: the persisted fields (x and y are the top-left corner in pixels
// of the uncropped source; width and height those of the rendered text), and its rendering.
struct TextItem : EditTextRecord {
  // The rendered text, kept until caption, font, turn, flips or scale change.
  std::unique_ptr<COvraImage> cached;
  double cachedScale = 0;
};

// The editing view of a processing instance; this build has none.
class CWin32View;

class CImageDocument {
 public:
  explicit CImageDocument(CWin32View* view = nullptr);
  ~CImageDocument();
  CImageDocument(const CImageDocument&) = delete;
  CImageDocument& operator=(const CImageDocument&) = delete;

  // Frees images, texts and filters; crop (0, 0, 1, 1), flips and turn 0. Paths, output type and
  // the colour-fill values stay.
  void Reset();

  // Each load resets first and ends with a render; a failed load leaves the document reset.
  // selectionFrames is the render's: the image-data exports deliver pictures without them.
  bool LoadFile(const char* path, bool selectionFrames = true);
  // A null stream loads as LoadFile; a block with another tag leaves the picture unedited.
  bool LoadFileWithData(const char* path, CVXMemoryStream* edits, bool selectionFrames = true);
  bool LoadColor(std::int32_t width, std::int32_t height, std::uint32_t color,
                 bool selectionFrames = true);
  bool LoadColorWithData(std::uint32_t color, std::int32_t width, std::int32_t height,
                         CVXMemoryStream* edits, bool selectionFrames = false);
  bool LoadFrame(const tagVideoFrame* frame, CVXMemoryStream* edits, bool selectionFrames = false);

  // Rebuilds the filtered source from the source and the filter list.
  void ApplyFilters();
  // Renders crop, texts, flips and turn into the output (and the rotated output).
  bool Render(bool selectionFrames);

  // The rotated output when the turn code is not 0, else the output; null before a render.
  COvraImage* Displayed() const;
  bool Save(const char* path, std::int32_t type, std::int32_t quality);

  EditData Edits() const;
  // Takes crop, turn, flips, texts, filters and the edit size from a block.
  void SetEdits(const EditData& data);

  // Adds an entry (list position = 1, 2, 3 ... in the order of adding); returns its position.
  std::int32_t AddFilter(const FilterEntry& entry);
  // Adds a text; an id of -1 gets the list's next number. Returns the id.
  std::int32_t AddText(TextItem item);

  // Fields (see the comments of each).
  CWin32View* view = nullptr;
  std::unique_ptr<COvraImage> output;
  std::unique_ptr<COvraImage> rotated;  // present while the turn code is not 0
  std::unique_ptr<COvraImage> source;
  std::unique_ptr<COvraImage> filtered;  // present while the filter list is not empty
  std::unique_ptr<COvraImage> preview;   // the effect browser's 152 x 114 thumbnail
  OvraRectD crop{0, 0, 1, 1};
  std::int32_t flip = 0;
  std::int32_t turn = 0;
  std::vector<TextItem> texts;  // drawing order
  struct Filter {
    FilterEntry entry;
    std::int32_t position;
  };
  std::vector<Filter> filters;
  std::string outputPath;
  std::string settingsPath;
  std::int32_t outputType = IMAGE_FILE_JPEG;
  std::int32_t backgroundIsImage = 0;
  std::int32_t textScaleByWidthOnly = 0;
  std::string sourcePath;
  std::int32_t colorWidth = 0, colorHeight = 0;
  std::uint32_t color = 0;
  std::int32_t editWidth = 0, editHeight = 0;

 private:
  bool FinishSourceLoad(bool takeEditSize, CVXMemoryStream* edits, bool selectionFrames);
  bool RenderText(TextItem& item, double scale);
  std::int32_t nextTextId_ = 1;
  std::int32_t nextFilterPosition_ = 1;
};
