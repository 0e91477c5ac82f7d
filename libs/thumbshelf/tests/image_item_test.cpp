#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "test_support.h"

namespace {

using namespace shelftest;

std::uint32_t at(const tagVideoFrame& f, int x, int y) {
  return reinterpret_cast<const std::uint32_t*>(f.pixels +
                                                static_cast<std::ptrdiff_t>(y) * f.stride)[x];
}

// Frame of min(w, 400) x min(h, 300), the picture inside it with its proportions kept and
// centred, the rest transparent.
TEST(ImageItem, ThumbnailGeometry) {
  struct Case {
    int w, h;
    gfx::ImageFormat format;
    int frameW, frameH;
    int x, y, drawnW, drawnH;
  };
  const Case cases[] = {
      {40, 30, gfx::ImageFormat::Png, 40, 30, 0, 0, 40, 30},
      {800, 200, gfx::ImageFormat::Png, 400, 200, 0, 50, 400, 100},
      {300, 600, gfx::ImageFormat::Png, 300, 300, 75, 0, 150, 300},
      {4000, 3000, gfx::ImageFormat::Jpeg, 400, 300, 0, 0, 400, 300},
      {3000, 4000, gfx::ImageFormat::Jpeg, 400, 300, 87, 0, 225, 300},
  };
  for (const Case& c : cases) {
    const std::string name = "geometry-" + std::to_string(c.w) + "x" + std::to_string(c.h) +
                             (c.format == gfx::ImageFormat::Jpeg ? ".jpg" : ".png");
    SCOPED_TRACE(name);
    CImageItem item(picture(name, c.w, c.h, 0xFFFF0000, c.format).c_str(), nullptr);
    EXPECT_FALSE(item.InitializeOK());
    ASSERT_TRUE(item.Initialize());
    EXPECT_TRUE(item.InitializeOK());
    EXPECT_TRUE(item.GetThumbnailOK());
    EXPECT_EQ(item.PictureWidth(), c.w);
    const tagVideoFrame& t = item.Thumbnail();
    ASSERT_EQ(t.width, c.frameW);
    ASSERT_EQ(t.height, c.frameH);
    const int cx = c.x + c.drawnW / 2, cy = c.y + c.drawnH / 2;
    EXPECT_EQ(at(t, cx, cy) >> 24, 0xFFu);
    EXPECT_GT(at(t, cx, cy) >> 16 & 0xFF, 0xF0u);  // red, give or take the JPEG
    if (c.x > 1) {
      EXPECT_EQ(at(t, c.x - 2, cy), 0u);             // margin left
      EXPECT_EQ(at(t, c.x + c.drawnW + 1, cy), 0u);  // and right
      EXPECT_EQ(at(t, c.x + 2, cy) >> 24, 0xFFu);    // picture starts
    }
    if (c.y > 1) {
      EXPECT_EQ(at(t, cx, c.y - 2), 0u);
      EXPECT_EQ(at(t, cx, c.y + c.drawnH + 1), 0u);
    }
  }
}

TEST(ImageItem, ThumbnailIntoOtherFrames) {
  CImageItem item(picture("into.png", 800, 600, 0xFF0000FF).c_str(), nullptr);
  tagVideoFrame frame{};
  ASSERT_TRUE(mallocFrame(&frame, 200, 200));
  EXPECT_FALSE(item.GetThumbnail(&frame, false));  // nothing loaded yet
  ASSERT_TRUE(item.Initialize());
  ASSERT_TRUE(item.GetThumbnail(&frame, false));
  EXPECT_EQ(at(frame, 100, 20), 0u);  // 200 x 150 centred: 25 rows free above
  EXPECT_EQ(at(frame, 100, 30), 0xFF0000FFu);
  EXPECT_EQ(at(frame, 100, 180), 0u);
  freeFrame(&frame);

  ASSERT_TRUE(mallocFrame(&frame, 400, 300));  // the thumbnail's size: a copy
  ASSERT_TRUE(item.GetThumbnail(&frame, 400, true));
  EXPECT_EQ(std::memcmp(frame.pixels, item.Thumbnail().pixels, 400 * 300 * 4), 0);
  freeFrame(&frame);
  EXPECT_FALSE(item.GetThumbnail(nullptr, false));
}

TEST(ImageItem, CaptionsDescriptionsAndBytes) {
  const std::string file = picture("Ferien Ärger 写真.png", 10, 10, 0xFF00FF00);
  CImageItem named(file.c_str(), nullptr);
  EXPECT_STREQ(named.GetCaption(), "Ferien Ärger 写真.png");
  EXPECT_EQ(named.GetDescription(), file);
  EXPECT_EQ(named.GetFilePath(), file);
  EXPECT_EQ(named.GetElementType(), ELEMENT_OBJECT_IMAGE);
  EXPECT_TRUE(named.Initialize());  // a path outside ASCII
  CImageItem given(file.c_str(), "Given");
  EXPECT_STREQ(given.GetCaption(), "Given");
  EXPECT_FALSE(given.UpdateCaption(nullptr));
  EXPECT_TRUE(given.UpdateCaption("Later"));
  EXPECT_STREQ(given.GetCaption(), "Later");

  // From bytes: a copy of the whole stream, whatever its position; no path.
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  auto* stream = new CVXMemoryStream(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  stream->Seek(0, VX_SEEK_END);
  int owner = 0;
  ExplorerItemData data;
  data.stream = stream;
  data.reserved1 = 42;
  data.reserved2 = &owner;
  CImageItem fromBytes(&data);
  delete stream;  // the item holds its own copy
  EXPECT_STREQ(fromBytes.GetCaption(), "None Caption");
  EXPECT_STREQ(fromBytes.GetDescription(), "None Description");
  EXPECT_EQ(fromBytes.GetFilePath(), nullptr);
  EXPECT_EQ(fromBytes.GetReserved1(), 42u);
  EXPECT_EQ(fromBytes.GetReserved2(), &owner);
  EXPECT_EQ(fromBytes.EncodedLength(), static_cast<std::int32_t>(bytes.size()));
  ASSERT_TRUE(fromBytes.Initialize());
  EXPECT_EQ(fromBytes.Thumbnail().width, 10);

  CImageItem broken(brokenPicture().c_str(), nullptr);
  EXPECT_FALSE(broken.Initialize());
  EXPECT_FALSE(broken.InitializeOK());
  CImageItem empty(static_cast<const ExplorerItemData*>(nullptr));
  EXPECT_FALSE(empty.Initialize());
}

void setModified(const std::string& file, long seconds) {
  const utimbuf times{seconds, seconds};
  ASSERT_EQ(utime(file.c_str(), &times), 0);
}

// A copy of the dated fixture with another DateTimeOriginal.
std::string datedCopy(const std::string& name, const char* date) {
  std::ifstream in(fs::path(GALLERIA_TEST_DATA) / "dated.jpg", std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), {}};
  const std::size_t at = bytes.find("2021:05:06 07:08:09");
  EXPECT_NE(at, std::string::npos);
  if (date != nullptr) bytes.replace(at, 19, date);
  const fs::path file = scratch() / name;
  std::ofstream(file, std::ios::binary) << bytes;
  return file.string();
}

std::vector<std::string> captions(CClipList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.GetCount(); ++i) out.push_back(list.GetObjectW(i)->GetCaption());
  return out;
}

TEST(ImageItem, SortingAListOfPictures) {
  const std::string small = picture("sort-small.png", 2, 2, 0xFF000000);
  const std::string big = picture("sort-big.png", 300, 300, 0xFF123456);
  const std::string middle =
      picture("sort-middle.jpg", 100, 100, 0xFF654321, gfx::ImageFormat::Jpeg);
  ASSERT_LT(fs::file_size(small), fs::file_size(middle));
  ASSERT_LT(fs::file_size(middle), fs::file_size(big));
  setModified(small, 1'600'000'000);
  setModified(middle, 1'500'000'000);
  setModified(big, 1'700'000'000);
  CImageItemList list;
  const char* paths[] = {middle.c_str(), small.c_str(), big.c_str()};
  list.AddFiles(paths, 3, true);
  ASSERT_EQ(list.GetCount(), 3);

  list.SortBy(COMPARE_FILE_SIZE, SORT_DESCENDING);
  EXPECT_EQ(captions(list),
            (std::vector<std::string>{"sort-big.png", "sort-middle.jpg", "sort-small.png"}));
  list.SortBy(COMPARE_MODIFY_DATE, SORT_ASCENDING);
  EXPECT_EQ(captions(list),
            (std::vector<std::string>{"sort-middle.jpg", "sort-small.png", "sort-big.png"}));
  list.UpdateCaption(0, "b");
  list.UpdateCaption(1, "C");
  list.UpdateCaption(2, "a");
  list.SortBy(COMPARE_CAPTION, SORT_ASCENDING);
  EXPECT_EQ(captions(list), (std::vector<std::string>{"a", "b", "C"}));

  // The picture's own date: photos with one from the earliest; one without counts as 0.
  CImageItemList photos;
  const std::string late = datedCopy("2023.jpg", "2023:01:01 00:00:00");
  const std::string early = datedCopy("2019.jpg", "2019:06:30 12:00:00");
  const std::string mid = datedCopy("2021.jpg", nullptr);
  const std::string undated = picture("undated.png", 5, 5, 0xFF000000);
  const char* dated[] = {late.c_str(), undated.c_str(), mid.c_str(), early.c_str()};
  photos.AddFiles(dated, 4, true);
  photos.SortBy(COMPARE_TAKE_DATE, SORT_ASCENDING);
  EXPECT_EQ(captions(photos),
            (std::vector<std::string>{"undated.png", "2019.jpg", "2021.jpg", "2023.jpg"}));
  photos.SortBy(COMPARE_TAKE_DATE, SORT_DESCENDING);
  EXPECT_EQ(captions(photos),
            (std::vector<std::string>{"2023.jpg", "2021.jpg", "2019.jpg", "undated.png"}));
  // Upright: the fixture is stored 32 x 16 with orientation 6.
  EXPECT_EQ(static_cast<CImageItem*>(photos.GetObjectW(1))->Thumbnail().width, 16);
  EXPECT_EQ(static_cast<CImageItem*>(photos.GetObjectW(1))->Thumbnail().height, 32);
}

}  // namespace
