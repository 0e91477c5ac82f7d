#include <gtest/gtest.h>

#include <corekit/memory_stream.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

#include "test_support.h"

namespace {

using namespace shelftest;
using Numbers = std::vector<std::uint32_t>;

TEST(ClipList, SixHundredPicturesGrowTheArrayAndReportProgress) {
  const std::string file = picture("tiny.png", 4, 3, 0xFF336699);
  std::vector<const char*> paths(600, file.c_str());
  CImageItemList list;
  Recorder recorder;
  list.AddObserver(&recorder);
  EXPECT_EQ(list.GetCapacity(), 512);
  EXPECT_EQ(list.GetListType(), 1);
  EXPECT_EQ(list.GetMaxCaps(), 1'000'000);
  EXPECT_EQ(list.AddFiles(paths.data(), 600, true), 0);  // the count when called
  EXPECT_EQ(list.GetCount(), 600);
  EXPECT_EQ(list.GetCapacity(), 1024);
  ASSERT_EQ(recorder.percents.size(), 600u);
  for (int i = 0; i < 600; ++i) ASSERT_EQ(recorder.percents[i], (i + 1) * 100 / 600) << i;
  EXPECT_EQ(recorder.percents.front(), 0);
  EXPECT_EQ(recorder.percents.back(), 100);
  EXPECT_EQ(recorder.indexes[599], 599);
  EXPECT_EQ(recorder.begun, 600);
  EXPECT_EQ(recorder.loaded[0], "tiny.png");
  EXPECT_GE(recorder.ended, 1);
  list.DeleteObserver(&recorder);
}

TEST(ClipList, MovedSelected) {
  struct Case {
    const char* name;
    std::set<int> selected;
    int target;
    Numbers order;
    std::vector<Change> changes;
  };
  const Case cases[] = {
      {"2 and 4 onto 0", {2, 4}, 0, {2, 4, 0, 1, 3}, {{103, 0, 4, 0}}},
      {"to the end", {0, 2}, 5, {1, 3, 4, 0, 2}, {{103, 0, 4, 0}}},
      {"beyond the end clamps", {1}, 99, {0, 2, 3, 4, 1}, {{103, 1, 4, 0}}},
      {"below 0 clamps", {3}, -7, {3, 0, 1, 2, 4}, {{103, 0, 3, 0}}},
      {"the target's own stays", {2, 4}, 2, {0, 1, 4, 2, 3}, {{103, 2, 4, 0}}},
      {"nothing moves", {0}, 0, {0, 1, 2, 3, 4}, {}},
      {"nothing selected", {}, 3, {0, 1, 2, 3, 4}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestList list;
    fill(list, 0, 5);
    for (int i : c.selected) list.SetSelected(i, true);
    Recorder recorder;
    list.AddObserver(&recorder);
    list.MovedSelected(c.target);
    EXPECT_EQ(numbers(list), c.order);
    EXPECT_EQ(recorder.takeChanges(), c.changes);
    // Selection travels with the elements.
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(list.GetSelected(i), c.selected.count(static_cast<int>(c.order[i])) == 1);
    list.DeleteObserver(&recorder);
  }
}

TEST(ClipList, DeletingAndExchanging) {
  TestList list;
  fill(list, 0, 6);
  Recorder recorder;
  list.AddObserver(&recorder);
  list.DeleteSelected();  // nothing selected: nothing changes, nothing is sent
  EXPECT_EQ(list.GetCount(), 6);
  EXPECT_TRUE(recorder.takeChanges().empty());

  list.SetSelected(1, true);
  list.SetSelected(3, true);
  list.DeleteSelected();
  EXPECT_EQ(numbers(list), (Numbers{0, 2, 4, 5}));
  EXPECT_EQ(recorder.takeChanges(), (std::vector<Change>{{104, 1, 0, 0}}));

  list.DeleteObject(4);  // bad indexes are ignored
  list.DeleteObject(-1);
  EXPECT_TRUE(recorder.takeChanges().empty());
  list.DeleteObject(0);
  EXPECT_EQ(numbers(list), (Numbers{2, 4, 5}));
  EXPECT_EQ(recorder.takeChanges(), (std::vector<Change>{{104, 0, 0, 0}}));

  list.ExchangeObject(0, 2);
  list.ExchangeObject(1, 7);  // bad: no change, but sent all the same
  EXPECT_EQ(numbers(list), (Numbers{5, 4, 2}));
  EXPECT_EQ(recorder.takeChanges(), (std::vector<Change>{{105, 0, 2, 0}, {105, 1, 7, 0}}));

  list.MoveClip(0, 2);
  EXPECT_EQ(numbers(list), (Numbers{4, 2, 5}));
  list.MoveClip(2, 0);
  EXPECT_EQ(numbers(list), (Numbers{5, 4, 2}));

  list.ElementChange(1, 77);
  list.Clear(true);
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(recorder.takeChanges(), (std::vector<Change>{{111, 1, 77, 0}, {110, 0, 0, 0}}));
  list.DeleteObserver(&recorder);
  EXPECT_EQ(Numbered::living, 0);
}

TEST(ClipList, SelectionAndQueries) {
  TestList list;
  fill(list, 0, 4);
  int last = 99;
  EXPECT_EQ(list.GetSelectIndex(&last), -1);
  EXPECT_EQ(last, -1);
  EXPECT_EQ(list.GetSelectedObject(), nullptr);
  EXPECT_TRUE(list.SetSelected(1, true));
  EXPECT_FALSE(list.SetSelected(1, true));
  EXPECT_FALSE(list.SetSelected(9, true));
  EXPECT_TRUE(list.SetSelected(2, true));
  EXPECT_EQ(list.GetSelectIndex(&last), 1);
  EXPECT_EQ(last, 2);
  EXPECT_EQ(list.GetSelectedObject(), list.GetObjectW(1));
  EXPECT_FALSE(list.GetSelected(-1));
  EXPECT_FALSE(list.GetFocus(0));
  EXPECT_TRUE(list.SelectedAll(true));
  EXPECT_FALSE(list.SelectedAll(true));
  EXPECT_TRUE(list.SelectedAll(false));

  CElementObject* second = list.GetObjectW(1);
  EXPECT_EQ(list.GetPrevousObject(second), list.GetObjectW(0));
  EXPECT_EQ(list.GetNextObject(second), list.GetObjectW(2));
  EXPECT_EQ(list.GetPrevousObject(list.GetObjectW(0)), nullptr);
  EXPECT_EQ(list.GetNextObject(list.GetObjectW(3)), nullptr);
  Numbered stranger(99);
  EXPECT_EQ(list.GetNextObject(&stranger), nullptr);
  EXPECT_EQ(list.GetNextObject(nullptr), nullptr);
  EXPECT_TRUE(list.CheckItemExist(second));
  EXPECT_FALSE(list.CheckItemExist(&stranger));
  EXPECT_EQ(list.GetObjectW(4), nullptr);
  EXPECT_FALSE(list.ObjectValidate(nullptr));
}

TEST(ClipList, IteratorWalk) {
  TestList list;
  fill(list, 0, 3);
  COvraIterator* it = list.CreateIterator();
  EXPECT_EQ(it, list.CreateIterator());
  Numbers walked;
  for (it->First(0); it->IsDone(-1); it->Next())
    walked.push_back(it->CurrentObject()->GetReserved1());
  EXPECT_EQ(walked, (Numbers{0, 1, 2}));
  it->First(3);
  EXPECT_FALSE(it->IsDone(-1));
  it->First(2);
  EXPECT_FALSE(it->IsDone(2));
  EXPECT_TRUE(it->IsDone(3));
  EXPECT_FALSE(it->IsDone(10) && it->GetPosition() >= list.GetCount());
}

TEST(ClipList, InsertingKeepsTheGivenOrder) {
  TestList list;
  fill(list, 0, 2);
  Recorder recorder;
  list.AddObserver(&recorder);
  std::vector<CElementObject*> three = {new Numbered(10), new Numbered(11), new Numbered(12)};
  EXPECT_EQ(list.InsertObjects(1, three.data(), 3, true), 2);
  EXPECT_EQ(numbers(list), (Numbers{0, 10, 11, 12, 1}));
  EXPECT_EQ(recorder.percents, (std::vector<int>{33, 66, 100}));
  // An index beyond the list or below 0 means the end; the order stays as given.
  std::vector<CElementObject*> two = {new Numbered(20), new Numbered(21)};
  list.InsertObjects(99, two.data(), 2, true);
  std::vector<CElementObject*> more = {new Numbered(30), new Numbered(31)};
  list.InsertObjects(-1, more.data(), 2, true);
  list.InsertObject(0, new Numbered(40), true);
  list.InsertObject(50, new Numbered(41), true);
  EXPECT_EQ(numbers(list), (Numbers{40, 0, 10, 11, 12, 1, 20, 21, 30, 31, 41}));
  list.DeleteObserver(&recorder);
}

// Indexes and counts beyond 16 bits travel whole.
TEST(ClipList, InsertBeyondSixteenBits) {
  TestList list;
  fill(list, 0, 70'000);
  ASSERT_EQ(list.GetCount(), 70'000);
  std::vector<CElementObject*> two = {new Numbered(900'000), new Numbered(900'001)};
  list.InsertObjects(66'000, two.data(), 2, true);
  const Numbers got = numbers(list);
  ASSERT_EQ(got.size(), 70'002u);
  EXPECT_EQ(got[65'999], 65'999u);
  EXPECT_EQ(got[66'000], 900'000u);
  EXPECT_EQ(got[66'001], 900'001u);
  EXPECT_EQ(got[66'002], 66'000u);
  EXPECT_EQ(list.GetCapacity(), 131'072);  // 4, doubled
}

TEST(ClipList, RefusedElementsAreFailedAndNeverAdded) {
  const std::string good = picture("good.png", 8, 8, 0xFF00FF00);
  const std::string broken = brokenPicture();
  CImageItemList list;
  Recorder recorder;
  list.AddObserver(&recorder);
  EXPECT_GE(list.AddFile(broken.c_str(), "bad one", true), 0);
  EXPECT_EQ(list.GetCount(), 0);
  const char* paths[] = {good.c_str(), broken.c_str(), "", good.c_str()};
  list.AddFiles(paths, 4, true);
  EXPECT_EQ(list.GetCount(), 2);
  EXPECT_EQ(recorder.failed, (std::vector<std::string>{"bad one", "broken.png"}));

  // Nothing to make an element of.
  EXPECT_EQ(list.AddFile("", nullptr, true), -1);
  EXPECT_EQ(list.AddFile(nullptr, nullptr, true), -1);
  const char* empties[] = {"", nullptr};
  EXPECT_EQ(list.AddFiles(empties, 2, true), -1);
  EXPECT_EQ(list.AddColor(0xFF0000FF, true), -1);  // an image list holds no colours
  EXPECT_EQ(list.AddItem(nullptr, true), -1);
  EXPECT_EQ(list.InsertItem(0, nullptr, true), -1);
  EXPECT_EQ(list.AddObject(nullptr, true), -1);
  EXPECT_EQ(list.AddObjects(nullptr, 3, true), -1);
  EXPECT_EQ(list.GetCount(), 2);
  list.DeleteObserver(&recorder);
}

TEST(ClipList, FullListLogsAndFailsTheRest) {
  for (const bool insert : {false, true}) {
    SCOPED_TRACE(insert ? "insert many" : "add many");
    TestList list(3);
    Recorder recorder;
    list.AddObserver(&recorder);
    std::vector<CElementObject*> five;
    for (std::uint32_t i = 0; i < 5; ++i) five.push_back(new Numbered(i));
    if (insert)
      list.InsertObjects(0, five.data(), 5, true);
    else
      list.AddObjects(five.data(), 5, true);
    EXPECT_EQ(list.GetCount(), 3);
    EXPECT_EQ(recorder.failed.size(), 2u);
    list.AddObject(new Numbered(9), true);
    EXPECT_EQ(recorder.failed.size(), 3u);
    EXPECT_EQ(Numbered::living, 3);
    list.DeleteObserver(&recorder);
  }
  const std::string log = logText();
  EXPECT_NE(log.find("Out of List(3) Max Caps(3).\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Out of List(3) Max Caps(3)\n"), std::string::npos) << log;
}

// A cleared list drops what was still queued for it, also when loading is started again at
// once: the old batch must not come back behind the new element.
TEST(ClipList, ClearDropsQueuedLoading) {
  {
    TestList list;
    std::vector<CElementObject*> slow;
    for (std::uint32_t i = 0; i < 50; ++i) slow.push_back(new Numbered(i, 2));
    list.AddObjects(slow.data(), 50, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    list.Clear(false);
    list.AddObject(new Numbered(1000), true);
    list.AddObject(new Numbered(1001), true);
    EXPECT_EQ(numbers(list), (Numbers{1000, 1001}));
  }
  EXPECT_EQ(Numbered::living, 0);
  // Destroying a list with loading still queued deletes every element it was given.
  {
    TestList list;
    std::vector<CElementObject*> slow;
    for (std::uint32_t i = 0; i < 30; ++i) slow.push_back(new Numbered(i, 1));
    list.AddObjects(slow.data(), 30, false);
    list.InsertObjects(0, slow.data(), 0, false);  // a count of 0 queues nothing
    list.AddObject(new Numbered(99, 1), false);
  }
  EXPECT_EQ(Numbered::living, 0);
}

// The wait flag waits for its own request, not for whichever finishes first.
TEST(ClipList, WaitingCoversTheRequestItself) {
  TestList list;
  std::vector<CElementObject*> slow;
  for (std::uint32_t i = 0; i < 20; ++i) slow.push_back(new Numbered(i, 1));
  list.AddObjects(slow.data(), 20, false);
  list.AddObject(new Numbered(100), false);  // finishes (and signals) before the batch
  std::vector<CElementObject*> last = {new Numbered(200), new Numbered(201)};
  list.AddObjects(last.data(), 2, true);
  const Numbers got = numbers(list);
  EXPECT_NE(std::find(got.begin(), got.end(), 201u), got.end());
  list.ResetCompleteLoad();
  list.SetCompleteLoad();
  list.WaitForCompleteLoad();  // signalled: returns at once
}

TEST(ClipList, UpdatingElementsAndCaptions) {
  const std::string a = picture("update-a.png", 8, 8, 0xFFFF0000);
  const std::string b = picture("update-b.png", 6, 6, 0xFF0000FF);
  CImageItemList list;
  list.AddFile(a.c_str(), nullptr, true);
  list.SetSelected(0, true);
  Recorder recorder;
  list.AddObserver(&recorder);
  EXPECT_EQ(list.UpdateFile(0, b.c_str(), "new"), 0);
  EXPECT_STREQ(list.GetObjectW(0)->GetCaption(), "new");
  EXPECT_TRUE(list.GetSelected(0));  // taken over from the old element
  EXPECT_EQ(list.UpdateFile(3, b.c_str(), nullptr), -1);
  EXPECT_EQ(list.UpdateFile(0, brokenPicture().c_str(), nullptr), -1);
  EXPECT_STREQ(list.GetObjectW(0)->GetCaption(), "new");
  list.UpdateCaption(0, "renamed");
  list.UpdateCaption(0, nullptr);
  list.UpdateCaption(5, "x");
  EXPECT_STREQ(list.GetObjectW(0)->GetCaption(), "renamed");
  EXPECT_EQ(recorder.takeChanges(), (std::vector<Change>{{108, 0, 0, 0}, {109, 0, 0, 0}}));
  list.DeleteObserver(&recorder);
}

TEST(ClipList, ObserversAndSubjects) {
  auto list = std::make_unique<TestList>();
  std::vector<std::unique_ptr<Recorder>> many;
  for (int i = 0; i < 257; ++i) many.push_back(std::make_unique<Recorder>());
  for (auto& r : many) {
    list->AddObserver(r.get());
    // As a view does; the 257th is refused and so does not take the list as subject either.
    if (list->GetObserverObject(list->GetObserverCount() - 1) == r.get()) r->AddSubject(list.get());
  }
  list->AddObserver(many[0].get());
  list->AddObserver(nullptr);
  EXPECT_EQ(list->GetObserverCount(), 256);
  EXPECT_EQ(list->GetObserverObject(255), many[255].get());
  EXPECT_EQ(list->GetObserverObject(256), nullptr);
  many[0]->AddSubject(list.get());
  EXPECT_EQ(many[0]->GetSubjectCount(), 1);
  many.erase(many.begin());  // an observer that goes leaves the list
  EXPECT_EQ(list->GetObserverCount(), 255);
  EXPECT_EQ(list->GetObserverObject(0), many[0].get());
  list->DeleteObserver(many[0].get());
  EXPECT_EQ(list->GetObserverCount(), 254);
  EXPECT_EQ(many[0]->GetSubjectCount(), 0);
  list.reset();  // the list tells its observers
  EXPECT_EQ(many[1]->GetSubjectCount(), 0);
}

TEST(ClipList, SortByNumberBothWays) {
  TestList list;
  const Numbers input = {5, 3, 9, 3, 0, 7, 7, 1, 8, 2, 6, 4};
  for (std::uint32_t n : input) list.AddObject(new Numbered(n), false);
  list.AddObject(new Numbered(5), true);
  Recorder recorder;
  list.AddObserver(&recorder);
  list.SortBy(COMPARE_RESERVED_VALUE, SORT_ASCENDING);
  Numbers sorted = input;
  sorted.push_back(5);
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(numbers(list), sorted);
  list.SortBy(COMPARE_RESERVED_VALUE, static_cast<SortDirection>(7));  // any other: descending
  std::reverse(sorted.begin(), sorted.end());
  EXPECT_EQ(numbers(list), sorted);
  EXPECT_EQ(recorder.takeChanges(), (std::vector<Change>{{102, 0, 0, 0}, {102, 0, 0, 0}}));
  list.DeleteObserver(&recorder);

  TestList one;
  fill(one, 4, 5);
  one.SortBy(COMPARE_RESERVED_VALUE, SORT_DESCENDING);
  EXPECT_EQ(numbers(one), (Numbers{4}));
}

TEST(ClipList, ListStartBlock) {
  TestList list;
  CVXMemoryStream stream;
  ASSERT_TRUE(list.WriteToStream(&stream));
  ASSERT_EQ(stream.GetLength(), 22);
  const char16_t expected[] = u"List Start";
  EXPECT_EQ(std::memcmp(stream.GetData(), expected, 22), 0);
  stream.Seek(0, VX_SEEK_BEGIN);
  EXPECT_TRUE(list.ReadFromStream(&stream));
  stream.Seek(2, VX_SEEK_BEGIN);
  EXPECT_FALSE(list.ReadFromStream(&stream));
  EXPECT_FALSE(list.ReadFromStream(nullptr));
}

}  // namespace
