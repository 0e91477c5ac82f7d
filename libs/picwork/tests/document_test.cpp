#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <corekit/memory_stream.h>
#include <corekit/video_frame.h>
#include <picwork/document.h>
#include <picwork/edit_data.h>
#include <picwork/image.h>
#include <picwork/picwork.h>

#include "test_support.h"

namespace {

using namespace picwork_test;

// A frame whose every pixel tells its own position: 0xFF, x (12 bits), y (12 bits).
struct PositionFrame {
  PositionFrame(int w, int h) {
    EXPECT_TRUE(mallocFrame(&frame, w, h));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) At(frame, x, y) = Code(x, y);
  }
  ~PositionFrame() { freeFrame(&frame); }
  static std::uint32_t Code(int x, int y) { return 0xFF000000u | x << 12 | y; }
  static std::uint32_t& At(tagVideoFrame& f, int x, int y) {
    return reinterpret_cast<std::uint32_t*>(f.pixels + std::ptrdiff_t(y) * f.stride)[x];
  }
  tagVideoFrame frame{};
};

struct OutFrame {
  ~OutFrame() { freeFrame(&frame); }
  std::uint32_t at(int x, int y) { return PositionFrame::At(frame, x, y); }
  tagVideoFrame frame{};
};

std::unique_ptr<CVXMemoryStream> Block(const EditData& data) {
  auto stream = std::make_unique<CVXMemoryStream>();
  EXPECT_TRUE(picwork::WriteEditData(*stream, data));
  stream->Seek(0, VX_SEEK_BEGIN);
  return stream;
}

EditData WithCrop(double x, double y, double w, double h) {
  EditData data;
  data.crop = {x, y, w, h};
  return data;
}

TEST(Render, CropTurnAndFlipMoveTheRightPixels) {
  struct Case {
    const char* what;
    int w, h;
    EditData edits;
    int outW, outH;
    // (output x, output y) -> (source x, source y)
    std::vector<std::array<int, 4>> pixels;
  };
  EditData turn1, turn3, turn2, flip1, flip2;
  turn1.turn = 1;
  turn3.turn = 3;
  turn2.turn = 2;
  flip1.flip = 1;
  flip2.flip = 2;
  const Case cases[] = {
      {"crop a quarter of 1001 x 1001",
       1001,
       1001,
       WithCrop(0.25, 0.25, 0.5, 0.5),
       500,
       500,
       {{0, 0, 250, 250}, {499, 499, 749, 749}, {499, 0, 749, 250}}},
      {"turn 1 (counter-clockwise)",
       200,
       100,
       turn1,
       100,
       200,
       {{0, 0, 199, 0}, {99, 199, 0, 99}, {0, 199, 0, 0}}},
      {"turn 3 (clockwise)",
       200,
       100,
       turn3,
       100,
       200,
       {{0, 0, 0, 99}, {99, 0, 0, 0}, {99, 199, 199, 0}}},
      {"turn 2 (half)", 200, 100, turn2, 200, 100, {{0, 0, 199, 99}, {199, 99, 0, 0}}},
      {"flip left-right", 200, 100, flip1, 200, 100, {{0, 0, 199, 0}, {199, 5, 0, 5}}},
      {"flip upside down", 200, 100, flip2, 200, 100, {{0, 0, 0, 99}, {7, 99, 7, 0}}},
  };
  for (const Case& c : cases) {
    PositionFrame source(c.w, c.h);
    OutFrame out;
    auto block = Block(c.edits);
    ASSERT_EQ(OvraGetImageDataEx(&source.frame, block.get(), &out.frame), 1) << c.what;
    ASSERT_EQ(out.frame.width, c.outW) << c.what;
    ASSERT_EQ(out.frame.height, c.outH) << c.what;
    for (const auto& p : c.pixels)
      EXPECT_EQ(out.at(p[0], p[1]), PositionFrame::Code(p[2], p[3]))
          << c.what << " at " << p[0] << "," << p[1];
  }
}

TEST(Render, ColourFillWithoutEdits) {
  OutFrame out;
  ASSERT_EQ(OvraGetImageDataColor(0xFF000000, 320, 240, nullptr, &out.frame), 1);
  ASSERT_EQ(out.frame.width, 320);
  ASSERT_EQ(out.frame.height, 240);
  for (int y : {0, 120, 239})
    for (int x : {0, 160, 319}) EXPECT_EQ(out.at(x, y), 0xFF000000u);
  EXPECT_EQ(OvraGetImageDataColor(0xFF000000, 0, 240, nullptr, &out.frame), 0);
  EXPECT_EQ(OvraGetImageDataColor(0xFF000000, 100000, 100000, nullptr, &out.frame), 0);
}

TEST(Render, FiltersGoThroughTheEffectLibraryInOrder) {
  EditData data;
  data.filters = {{kPixfxInvert, 0, 0, 0}, {kPixfxNone, 0, 0, 0}};
  OutFrame out;
  auto block = Block(data);
  ASSERT_EQ(OvraGetImageDataColor(0xFF102030, 8, 8, block.get(), &out.frame), 1);
  EXPECT_EQ(out.at(3, 3), 0xFFEFDFCFu);
  data.filters.push_back({kPixfxInvert, 0, 0, 0});  // twice inverted is the fill again
  auto twice = Block(data);
  ASSERT_EQ(OvraGetImageDataColor(0xFF102030, 8, 8, twice.get(), &out.frame), 1);
  EXPECT_EQ(out.at(3, 3), 0xFF102030u);
}

TEST(Render, HostileCropGivesFailureNotACrash) {
  for (const EditData& edits :
       {WithCrop(0, 0, 0, 1), WithCrop(0, 0, -1, 1), WithCrop(0, 0, 1e300, 1),
        WithCrop(std::nan(""), 0, std::nan(""), 1), WithCrop(5, 5, 1, 1)}) {
    OutFrame out;
    auto block = Block(edits);
    const int result = OvraGetImageDataColor(0xFF0000FF, 16, 16, block.get(), &out.frame);
    if (result == 1) {  // a crop beyond the picture leaves a blank output of the crop's size
      EXPECT_EQ(out.frame.width, 16);
      EXPECT_EQ(out.at(0, 0), 0u);
    }
  }
}

EditTextRecord Caption(const char16_t* text, double x, double y, bool selected) {
  EditTextRecord t;
  t.caption = text;
  std::memcpy(t.font.faceName, u"Sans", sizeof u"Sans");
  t.font.size = 20;
  t.font.color = 0xFF000000;
  t.x = x;
  t.y = y;
  t.selected = selected ? 1 : 0;
  t.id = 1;
  return t;
}

// The box of pixels that are not the white fill.
struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};
Box InkBox(OutFrame& out) {
  Box b;
  for (int y = 0; y < out.frame.height; ++y)
    for (int x = 0; x < out.frame.width; ++x)
      if ((out.at(x, y) & 0xFFFFFF) != 0xFFFFFF) {
        b.left = std::min(b.left, x);
        b.top = std::min(b.top, y);
        b.right = std::max(b.right, x);
        b.bottom = std::max(b.bottom, y);
      }
  return b;
}

TEST(Render, TextIsDrawnAtItsPlaceAndScalesWithTheSource) {
  EditData data;
  data.editWidth = 200;
  data.editHeight = 100;
  data.texts = {Caption(u"Hello", 40, 30, false)};
  auto block = Block(data);
  OutFrame small;
  ASSERT_EQ(OvraGetImageDataColor(0xFFFFFFFF, 200, 100, block.get(), &small.frame), 1);
  const Box a = InkBox(small);
  ASSERT_GE(a.right, a.left) << "no text drawn";
  EXPECT_GE(a.left, 40);
  EXPECT_LT(a.left, 48);
  EXPECT_GE(a.top, 30);
  EXPECT_LT(a.top, 45);
  // The same edits on a fill twice as large: twice the distance, twice the size.
  block->Seek(0, VX_SEEK_BEGIN);
  OutFrame big;
  ASSERT_EQ(OvraGetImageDataColor(0xFFFFFFFF, 400, 200, block.get(), &big.frame), 1);
  const Box b = InkBox(big);
  EXPECT_NEAR(b.left, 2 * a.left, 4);
  EXPECT_NEAR(b.top, 2 * a.top, 6);
  EXPECT_NEAR(b.right - b.left, 2 * (a.right - a.left), 8);
}

TEST(Render, SelectedTextHasAFrameInTheEditorButNotInTheImageData) {
  TempDir dir;
  WritePng(dir / "white.png", std::vector<std::uint32_t>(300 * 150, 0xFFFFFFFF), 300, 150);
  const std::string png = (dir / "white.png").string();
  EditData data;
  data.editWidth = 300;
  data.editHeight = 150;
  data.texts = {Caption(u"Hi", 50, 50, true)};
  auto selected = Block(data);
  data.texts[0].selected = 0;
  auto plain = Block(data);

  OutFrame a, b;
  ASSERT_EQ(OvraGetImageData(png.c_str(), selected.get(), &a.frame), 1);
  ASSERT_EQ(OvraGetImageData(png.c_str(), plain.get(), &b.frame), 1);
  ASSERT_EQ(a.frame.size, b.frame.size);
  EXPECT_EQ(std::memcmp(a.frame.pixels, b.frame.pixels, a.frame.size), 0);
  int blue = 0;
  for (int y = 0; y < a.frame.height; ++y)
    for (int x = 0; x < a.frame.width; ++x) blue += a.at(x, y) == 0xFF0000FF;
  EXPECT_EQ(blue, 0);

  // The instance renders with selection frames: dotted opaque blue around the text.
  EditorHandle* handle = OvraInitRetouch(nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(handle, nullptr);
  selected->Seek(0, VX_SEEK_BEGIN);
  ASSERT_EQ(OvraLoadFromData(png.c_str(), selected.get(), handle), 1);
  // OvraSaveImage renders without frames; the document's own render after loading has them.
  CImageDocument document;
  selected->Seek(0, VX_SEEK_BEGIN);
  ASSERT_TRUE(document.LoadFileWithData(png.c_str(), selected.get(), true));
  const std::uint32_t* p = document.output->Pixels();
  int framed = 0;
  for (int i = 0; i < document.output->Width() * document.output->Height(); ++i)
    framed += p[i] == 0xFF0000FF;
  EXPECT_GT(framed, 10);
  OvraDeinitRetouch(handle);
}

TEST(Instance, LoadSaveSizeAndEditData) {
  TempDir dir;
  std::vector<std::string> lines;
  static std::vector<std::string>* sink;
  sink = &lines;
  EditorHandle* handle =
      OvraInitRetouch(nullptr, nullptr, nullptr, [](const char* line) { sink->push_back(line); });
  ASSERT_NE(handle, nullptr);
  std::int32_t w = 5, h = 5;
  EXPECT_EQ(OvraGetImageSize(&w, &h, handle), 0);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);

  EditData data = WithCrop(0, 0, 0.5, 1);
  data.turn = 1;
  data.editWidth = 64;
  data.editHeight = 48;
  auto block = Block(data);
  ASSERT_EQ(OvraLoadFromDataColor(0xFF336699, 64, 48, block.get(), handle), 1);
  ASSERT_EQ(OvraGetImageSize(&w, &h, handle), 1);
  EXPECT_EQ(w, 32);  // before the turn
  EXPECT_EQ(h, 48);

  // The block comes back byte for byte, and its crop is what the edit rectangle reads.
  CVXMemoryStream* saved = OvraSaveDataToStream(handle);
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(std::vector<std::uint8_t>(saved->GetData(), saved->GetData() + saved->GetLength()),
            std::vector<std::uint8_t>(block->GetData(), block->GetData() + block->GetLength()));
  saved->Seek(0, VX_SEEK_BEGIN);
  OvraRectD rect{};
  OvraGetImageEditRect(&rect, saved);
  EXPECT_EQ(rect.width, 0.5);
  EXPECT_EQ(rect.height, 1);
  delete saved;

  const fs::path asked = dir / "out.jpg";
  ASSERT_EQ(OvraSaveImage(asked.c_str(), handle, IMAGE_FILE_PNG), 1);
  const gfx::Picture png = Decode(dir / "out.png");
  EXPECT_EQ(png.width, 48);  // after the turn
  EXPECT_EQ(png.height, 32);
  EXPECT_EQ(png.pixels[0], 0xFF336699u);
  EXPECT_EQ(OvraSaveImage("", handle, IMAGE_FILE_PNG), 0);
  EXPECT_EQ(OvraSaveImage(asked.c_str(), handle, 7), 0);

  // A null path saves to the output path with the settings file, which is not available yet.
  EXPECT_EQ(OvraSaveImage(nullptr, handle, IMAGE_FILE_JPEG), 0);
  OvraSetOutSettings((dir / "edited.jpeg").c_str(), (dir / "settings.xml").c_str(), -1, handle);
  EXPECT_EQ(OvraSaveImage(nullptr, handle, IMAGE_FILE_JPEG), 0);
  EXPECT_FALSE(fs::exists(dir / "edited.jpeg"));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().rfind("Ovra Codecs:", 0), 0u);

  // The callback is the library's: the resize export writes its line there too.
  WriteJpeg(dir / "p.jpg", Quadrants(40, 30), 40, 30);
  EXPECT_EQ(OvraSetImageSize((dir / "p.jpg").c_str(), (dir / "q.jpeg").c_str(), 0, 100, 1, 80), 0);
  EXPECT_EQ(lines.back(), "Ovra Codecs:error size: 0x0");

  // A failed load leaves the document without a picture.
  EXPECT_EQ(OvraLoadImage((dir / "missing.jpg").c_str(), handle), 0);
  EXPECT_EQ(OvraGetImageSize(&w, &h, handle), 0);
  EXPECT_EQ(OvraLoadImage((dir / "p.jpg").c_str(), handle), 1);
  EXPECT_EQ(OvraGetImageSize(&w, &h, handle), 1);
  EXPECT_EQ(w, 40);
  OvraDeinitRetouch(handle);
  picwork_test::ResetLogCallback();
}

TEST(Instance, NullHandleDoesNothing) {
  std::int32_t w = 3, h = 3;
  EXPECT_EQ(OvraLoadImage("x", nullptr), 0);
  EXPECT_EQ(OvraLoadFromData("x", nullptr, nullptr), 0);
  EXPECT_EQ(OvraLoadFromDataColor(0, 1, 1, nullptr, nullptr), 0);
  EXPECT_EQ(OvraCreateImage(1, 1, 0, nullptr), 0);
  EXPECT_EQ(OvraGetImageSize(&w, &h, nullptr), 0);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(OvraSaveImage("x", nullptr, 1), 0);
  EXPECT_EQ(OvraSaveDataToStream(nullptr), nullptr);
  OvraSetOutSettings("a", "b", 1, nullptr);
  OvraDeinitRetouch(nullptr);
  int parent = 0;
  EXPECT_EQ(OvraInitRetouch(nullptr, nullptr, &parent, nullptr), nullptr);
  picwork_test::ResetLogCallback();
}

TEST(Image, BufferFormatsAndTheFlipTarget) {
  const std::uint8_t rgb[] = {1, 2, 3, 4, 5, 6};  // two 24-bit pixels, blue first
  COvraImage image;
  ASSERT_TRUE(image.CreateFromBuffer(2, 1, const_cast<std::uint8_t*>(rgb), 1));
  EXPECT_EQ(image.Pixels()[0], 0xFF030201u);
  EXPECT_EQ(image.Pixels()[1], 0xFF060504u);
  COvraImage flipped;
  ASSERT_TRUE(image.Flip(1, &flipped));
  EXPECT_EQ(flipped.Pixels()[0], 0xFF060504u);
  EXPECT_EQ(image.Pixels()[0], 0xFF030201u);
  EXPECT_FALSE(image.CreateFromBuffer(2, 1, nullptr, 0));
  EXPECT_FALSE(image.CreateBlank(2, 1, 3));
  EXPECT_NE(image.TakeStatus(), 0);
  EXPECT_EQ(image.TakeStatus(), 0);
}

}  // namespace
