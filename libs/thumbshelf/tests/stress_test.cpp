#include <gtest/gtest.h>

#include <random>
#include <set>

#include "test_support.h"

// The picture libraries synchronise their worker threads with glib's own futex locks, which
// ThreadSanitizer cannot see (they are not built with it): reports whose stacks pass through
// them are noise. Our code's own races stay reported.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libvips.so\n"
         "race:libglib-2.0.so\n"
         "race:libgobject-2.0.so\n"
         "race:libpng16.so\n"
         "race:libz.so\n"
         "race:libjpeg.so\n"
         "race:libwebp.so\n"
         "race:libtiff.so\n"
         "race:libheif.so\n"
         "race:libexif.so\n"
         "race:libMagickCore-6.Q16.so\n";
}

namespace {

using namespace shelftest;

// A picture element that counts the living ones.
class CountedItem : public CImageItem {
 public:
  static inline std::atomic<int> living{0};
  CountedItem(const char* path, const char* caption) : CImageItem(path, caption) { ++living; }
  ~CountedItem() override { --living; }
};

class CountedList : public CImageItemList {
 public:
  // As every derived list must: the thread stops before this object starts to come apart.
  ~CountedList() override { StopDecodeThread(); }

 protected:
  CElementObject* CreateElement(const char* path, const char* caption) override {
    return path != nullptr && *path != 0 ? new CountedItem(path, caption) : nullptr;
  }
};

// One thread adds 500 pictures (single, many and inserted) while another deletes, moves, sorts,
// selects and walks the list. Nothing may be lost, doubled or leaked: every picture is loaded
// exactly once, and the living elements are exactly those in the list.
TEST(ThumbshelfStress, AddWhileDeletingMovingSortingSelecting) {
  std::vector<std::string> files;
  for (int i = 0; i < 10; ++i)
    files.push_back(picture("stress-" + std::to_string(i) + ".png", 4 + i, 3 + i,
                            0xFF000000u | (i * 0x151515u)));
  constexpr int kPictures = 500;
  int deleted = 0;
  {
    CountedList list;
    Recorder recorder;
    list.AddObserver(&recorder);
    std::atomic<bool> adding{true};

    std::thread adder([&] {
      int queued = 0;
      std::mt19937 random(1);
      while (queued < kPictures) {
        const int kind = static_cast<int>(random() % 3);
        const int n =
            std::min(kPictures - queued, kind == 0 ? 1 : 1 + static_cast<int>(random() % 20));
        std::vector<const char*> paths;
        for (int i = 0; i < n; ++i) paths.push_back(files[(queued + i) % files.size()].c_str());
        if (kind == 0)
          list.AddFile(paths[0], nullptr, false);
        else if (kind == 1)
          list.AddFiles(paths.data(), n, false);
        else
          list.InsertFiles(static_cast<int>(random() % 50) - 5, paths.data(), n, false);
        queued += n;
      }
      adding = false;
    });

    std::mt19937 random(2);
    int rounds = 0;
    while (adding || recorder.handled() < static_cast<std::size_t>(kPictures)) {
      const int count = list.GetCount();
      const int pick = count > 0 ? static_cast<int>(random() % count) : 0;
      // Deletions are rare, and wait for a hundred items, so that the list grows to hundreds
      // while it is being edited (sorting and moving then have something to do).
      int op = static_cast<int>(random() % 200);
      if (count < 100 && (op == 70 || op == 71 || op == 165)) op = 0;
      switch (op < 60    ? 0
              : op < 70  ? 1
              : op < 72  ? 2
              : op < 100 ? 3
              : op < 104 ? 4
              : op < 140 ? 5
              : op < 165 ? 6
              : op < 166 ? 7
                         : 8) {
        case 0:
          list.SetSelected(pick, random() % 2 == 0);
          break;
        case 1:
          list.SelectedAll(false);
          break;
        case 2: {
          // Counted and deleted under one hold of the lock, so that the count is exact.
          list.SetSelected(pick, true);
          list.BeginUpdateItem();
          for (int i = 0; i < list.GetCount(); ++i) deleted += list.GetSelected(i) ? 1 : 0;
          list.DeleteSelected();
          list.EndUpdateItem();
          break;
        }
        case 3:
          list.MovedSelected(static_cast<int>(random() % (count + 1)));
          break;
        case 4:
          list.SortBy(static_cast<CompareType>(random() % 6),
                      static_cast<SortDirection>(random() % 2));
          break;
        case 5:
          list.ExchangeObject(pick, static_cast<int>(random() % (count + 1)));
          break;
        case 6:
          list.MoveClip(pick, static_cast<int>(random() % (count + 1)));
          break;
        case 7: {
          list.BeginUpdateItem();
          const bool there = list.GetCount() > pick;
          if (there) {
            list.DeleteObject(pick);
            ++deleted;
          }
          list.EndUpdateItem();
          break;
        }
        default: {
          COvraIterator* it = list.CreateIterator();
          list.BeginUpdateItem();
          for (it->First(0); it->IsDone(-1); it->Next()) ASSERT_NE(it->CurrentObject(), nullptr);
          list.EndUpdateItem();
          break;
        }
      }
      // Paced, so that the list fills while it is edited instead of being emptied as it fills.
      ++rounds;
      std::this_thread::sleep_for(std::chrono::microseconds(50));
      ASSERT_LT(rounds, 50'000'000) << "loading never finished";
    }
    adder.join();

    EXPECT_EQ(recorder.loaded.size(), static_cast<std::size_t>(kPictures));
    EXPECT_TRUE(recorder.failed.empty());
    EXPECT_EQ(list.GetCount(), kPictures - deleted);
    EXPECT_EQ(CountedItem::living, list.GetCount());
    std::set<CElementObject*> distinct;
    for (int i = 0; i < list.GetCount(); ++i) {
      CElementObject* e = list.GetObjectW(i);
      distinct.insert(e);
      EXPECT_TRUE(e->InitializeOK());
    }
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(list.GetCount()));
    list.DeleteObserver(&recorder);
    std::cout << "rounds of editing: " << rounds << ", deleted: " << deleted << "\n";
  }
  EXPECT_EQ(CountedItem::living, 0);
}

}  // namespace
