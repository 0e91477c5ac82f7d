#pragma once
// The explorer's model: an ordered, thread-safe list of media elements, its observers, an
// iterator, sorting, and the background thread that opens each new element before it enters.
// Texts are UTF-8.

#include <corekit/element_thread.h>
#include <corekit/memory_stream.h>
#include <corekit/msg_queue.h>
#include <mediaitems/element.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

class CClipList;

namespace thumbshelf_detail {

// Up to N distinct non-null pointers in the order they came; the caller locks.
template <typename T, int N>
struct PointerSet {
  T* items[N] = {};
  int count = 0;

  bool add(T* p) {
    if (p == nullptr || count >= N || std::find(items, items + count, p) != items + count)
      return false;
    items[count++] = p;
    return true;
  }
  bool remove(T* p) {
    T** at = std::find(items, items + count, p);
    if (at == items + count) return false;
    std::copy(at + 1, items + count, at);
    items[--count] = nullptr;
    return true;
  }
  T* at(int index) const { return index >= 0 && index < count ? items[index] : nullptr; }
};

}  // namespace thumbshelf_detail

enum SortDirection : std::int32_t {
  SORT_ASCENDING = 0,
  SORT_DESCENDING = 1,  // any value other than 0
};

// Change notification codes.
enum ListChangeCode : std::int32_t {
  LIST_SORTED = 102,
  LIST_MOVED = 103,         // first and last index touched
  LIST_DELETED = 104,       // first index removed
  LIST_EXCHANGED = 105,     // the two indexes
  LIST_ITEM_UPDATED = 108,  // index
  LIST_CAPTION_UPDATED = 109,
  LIST_CLEARED = 110,
  LIST_ELEMENT_CHANGED = 111,  // index, value
};

// A view of one or more lists. Notifications of loading arrive on the list's decode thread,
// the others on the thread that changed the list; a view hands them to its own thread.
class CListObserver {
 public:
  static constexpr int kMaxSubjects = 256;

  CListObserver() = default;
  CListObserver(const CListObserver&) = delete;
  CListObserver& operator=(const CListObserver&) = delete;
  // Leaves every list it still observes.
  virtual ~CListObserver();

  virtual void ListChanged(int code, int index, std::intptr_t value1, std::intptr_t value2,
                           CClipList* list) = 0;
  virtual void LoadSucceeded(const char* caption, int index, int percent, CClipList* list) = 0;
  virtual void LoadFailed(const char* caption, CClipList* list) = 0;
  virtual void LoadBegun(const char* caption, CClipList* list) = 0;
  virtual void EndLoadAll(CClipList* list) = 0;
  // Ignores null, duplicates and a 257th list.
  virtual void AddSubject(CClipList* list);
  virtual void DeleteSubject(CClipList* list);

  int GetSubjectCount() const;

 private:
  mutable std::mutex lock_;
  thumbshelf_detail::PointerSet<CClipList, kMaxSubjects> subjects_;
};

// A walk over a list: for (it->First(0); it->IsDone(-1); it->Next()) it->CurrentObject() ...
class COvraIterator {
 public:
  explicit COvraIterator(CClipList* list) : list_(list) {}
  void First(int index) { position_ = index; }
  void Next() { ++position_; }
  // True while the position is below the limit (the list's count when negative) and the
  // list's count: the walk goes on while it returns true.
  bool IsDone(int limit);
  CElementObject* CurrentObject();
  int GetPosition() const { return position_; }

 private:
  CClipList* list_;
  int position_ = 0;
};

// Quicksort with the first element of each range as pivot. Elements that compare equal keep
// no particular order. Used by CClipList::SortBy under the list's lock.
class CSortArith {
 public:
  CSortArith(CClipList* list, CompareType type, SortDirection direction)
      : list_(list), type_(type), descending_(direction != SORT_ASCENDING) {}
  void Sort();
  void QuickSort(CElementObject** items, int low, int high);

 private:
  int Compare(CElementObject* a, CElementObject* b);

  CClipList* list_;
  CompareType type_;
  bool descending_;
};

// A picture given by its encoded bytes, with its texts and the caller's reserved values.
struct ExplorerItemData {
  CVXMemoryStream* stream = nullptr;  // its whole contents are the picture
  const char* caption = nullptr;
  const char* description = nullptr;
  std::uint32_t reserved1 = 0;
  void* reserved2 = nullptr;
};

// The list's worker: opens each queued element at idle priority and hands it to the list, one
// element per message so that cancels and other requests are seen in between.
class CDecodeThread : public CElementThread {
 public:
  // Messages.
  static constexpr std::uint32_t kQuit = 1028;
  // The single messages carry the generation in the low and the ticket in the high 32 bits of
  // their third parameter; a batch carries both itself.
  static constexpr std::uint32_t kAddOne = 11123;     // element, -, generation and ticket
  static constexpr std::uint32_t kAddMany = 11124;    // batch, count, next position
  static constexpr std::uint32_t kInsertOne = 11125;  // element, index, generation and ticket
  // batch, next position counting down, count in the low and index in the high 32 bits
  static constexpr std::uint32_t kInsertMany = 11126;

  explicit CDecodeThread(CClipList* list);
  // Cancels what is queued, lets the thread finish it (deleting the elements) and waits for it.
  ~CDecodeThread() override;

  std::uint32_t Execute() override;

  // Each enables loading and queues one request; the elements belong to the thread from then
  // on, the array stays the caller's. The list learns of the request's end by its ticket.
  bool AddElementObject(CElementObject* element, std::uint32_t ticket = 0);
  bool AddElementObjects(CElementObject** elements, int count, std::uint32_t ticket = 0);
  bool InsertElementObject(int index, CElementObject* element, std::uint32_t ticket = 0);
  bool InsertElementObjects(int index, CElementObject** elements, int count,
                            std::uint32_t ticket = 0);
  // Disables loading: what is queued before this call finishes without adding elements.
  void CancelLoad();
  bool LoadingEnabled() const { return enabled_.load(); }
  // Whether the request queued under that generation may still add.
  bool Current(std::uint32_t generation) const {
    return enabled_.load() && generation == generation_.load();
  }

 private:
  struct Batch;
  bool QueueBatch(std::uint32_t id, CElementObject** elements, int count, int index,
                  std::uint32_t ticket);
  void HandleOne(const tagOvraMsg& msg, bool insert);
  void HandleBatch(const tagOvraMsg& msg, bool insert);
  void DropBatch(Batch* batch, int from, int to);

  CElementMsgQueue queue_;
  CClipList* list_;
  std::atomic<bool> enabled_{true};
  // Bumped by every cancel: requests of an older generation never add, even when a later
  // request enables loading again before they are handled.
  std::atomic<std::uint32_t> generation_{0};
  // Follow-up messages in the queue; the thread ends only when none is left behind.
  std::atomic<int> pendingFollowUps_{0};
};

class CClipList : public CELPersistence {
 public:
  static constexpr int kMaxCaps = 1'000'000;
  static constexpr int kDefaultCapacity = 512;
  static constexpr int kMaxObservers = 256;

  explicit CClipList(int capacity = kDefaultCapacity);
  CClipList(const CClipList&) = delete;
  CClipList& operator=(const CClipList&) = delete;
  ~CClipList() override;

  // "List Start" with its terminating zero (22 bytes, UTF-16LE); the items are not part of it.
  bool ReadFromStream(CVXMemoryStream* stream) override;
  bool WriteToStream(CVXMemoryStream* stream) override;

  // Adding and inserting go through the decode thread; the list takes the elements over and
  // the call returns the count at the time of the call (-1 for a null element or array). With
  // wait, the call returns once the thread has handled this request.
  virtual int AddObject(CElementObject* element, bool wait);
  // Replaces the element at the index (the new one takes over selection and focus; the old one
  // is deleted); notifies 108. The index, or -1 (the element then stays the caller's).
  virtual int UpdateObject(int index, CElementObject* element);
  virtual void UpdateCaption(int index, const char* caption);
  virtual int AddObjects(CElementObject** elements, int count, bool wait);
  virtual int InsertObject(int index, CElementObject* element, bool wait);
  virtual int InsertObjects(int index, CElementObject** elements, int count, bool wait);
  virtual void ExchangeObject(int a, int b);
  virtual void MovedSelected(int target);
  virtual void MoveClip(int from, int to);
  virtual void DeleteObject(int index);
  virtual void DeleteSelected();
  virtual bool SelectedAll(bool selected);
  virtual bool GetSelected(int index);
  virtual bool GetFocus(int index);
  virtual bool SetSelected(int index, bool selected);
  virtual void SortBy(CompareType type, SortDirection direction);
  // The element or null. Its use ends with ReleaseSelectedObject; another thread may delete it
  // meanwhile unless the caller holds BeginUpdateItem.
  virtual CElementObject* GetObjectW(int index);
  virtual CElementObject* GetPrevousObject(CElementObject* element);
  virtual CElementObject* GetNextObject(CElementObject* element);
  virtual void ReleaseSelectedObject() {}
  // The list's own iterator, made on first use, owned by the list.
  virtual COvraIterator* CreateIterator();
  // Ignores null, duplicates and a 257th observer.
  virtual void AddObserver(CListObserver* observer);
  // Also takes the list from the observer's subjects.
  virtual void DeleteObserver(CListObserver* observer);
  virtual int GetObserverCount();
  virtual CListObserver* GetObserverObject(int index);
  // An empty path gives -1; otherwise an element from the factory (null: -1) is queued.
  virtual int AddFile(const char* path, const char* caption, bool wait);
  // A new element for the index, opened on the calling thread; UpdateObject's result, or -1.
  virtual int UpdateFile(int index, const char* path, const char* caption);
  // Skips paths the factory refuses; -1 when none is left.
  virtual int AddFiles(const char* const* paths, int count, bool wait);
  virtual int AddColor(std::uint32_t colour, bool wait);
  virtual int InsertFile(int index, const char* path, bool wait);
  virtual int InsertFiles(int index, const char* const* paths, int count, bool wait);
  virtual int InsertColor(int index, std::uint32_t colour, bool wait);
  virtual int AddItem(const ExplorerItemData* item, bool wait);
  virtual int InsertItem(int index, const ExplorerItemData* item, bool wait);
  // Cancels loading, deletes every element; notifies 110 when asked.
  virtual void Clear(bool notify);
  virtual bool ObjectValidate(CElementObject* element) { return element != nullptr; }
  virtual void ElementChange(int index, std::uint32_t value);
  virtual void ResetCompleteLoad();
  // Signals the load-complete event and tells the observers EndLoadAll.
  virtual void SetCompleteLoad();
  virtual void WaitForCompleteLoad();
  virtual int GetMaxCaps() { return kMaxCaps; }
  virtual int GetListType() { return 0; }
  virtual bool CheckItemExist(CElementObject* element);

  int GetCount();
  int GetCapacity();
  // The first selected index (-1 when none) and, through last, the last one.
  int GetSelectIndex(int* last = nullptr);
  CElementObject* GetSelectedObject();
  // Hold the list's lock (recursive) while walking the items.
  void BeginUpdateItem() { lock_.lock(); }
  void EndUpdateItem() { lock_.unlock(); }
  // Blocks until the decode thread has finished the request with that ticket.
  void WaitForRequest(std::uint32_t ticket);

 protected:
  // Element factories; the base list makes no elements of its own (null: refused).
  virtual CElementObject* CreateElement(CVXMemoryStream* stream);
  virtual CElementObject* CreateElement(const ExplorerItemData* item);
  virtual CElementObject* CreateElement(std::uint32_t colour);
  virtual CElementObject* CreateElement(const char* path, const char* caption);

  virtual void BeginLoad(const char* caption);
  virtual void SucceedLoad(const char* caption, int index, int percent);
  virtual void FailedLoad(const char* caption);
  virtual void EndLoadAll();

  // Stops the decode thread. Every list class that can be the most derived one calls it first
  // in its destructor: the thread calls the list's virtual functions, and once a derived part
  // is destroyed they must no longer be reached. Safe to call twice.
  void StopDecodeThread();

 private:
  friend class CDecodeThread;
  friend class CSortArith;

  enum class Placed { Added, Refused, Full, Cancelled };
  // The decode thread's step for one element: open it, then add it at the index (< 0 or beyond
  // the count: append) or refuse it. Percent goes to SucceedLoad.
  Placed TakeElement(CElementObject* element, int index, int percent, bool multi, bool insert,
                     std::uint32_t generation);
  std::uint32_t OpenRequest(bool wait);
  void RequestDone(std::uint32_t ticket);
  int Queue(CElementObject** elements, int count, int index, bool insert, bool many, bool wait);
  // One element a usable path; false when none is left.
  bool MakeFileElements(const char* const* paths, int count, std::vector<CElementObject*>& made);
  bool Grow();
  void RemoveAt(int index);
  void Notify(int code, int index, std::intptr_t value1 = 0, std::intptr_t value2 = 0);
  template <typename Call>
  void ForEachObserver(Call call);

  std::recursive_mutex lock_;  // array and count
  CElementObject** items_ = nullptr;
  int capacity_ = 0;
  int count_ = 0;

  // Held while observers are called, so that an observer that leaves (from its destructor)
  // waits for a notification in progress; recursive for observers that call back.
  std::recursive_mutex observerLock_;
  thumbshelf_detail::PointerSet<CListObserver, kMaxObservers> observers_;

  COvraIterator* iterator_ = nullptr;

  // The load-complete event (manual reset) and the finished-request counter behind the wait
  // flag, under one lock.
  std::mutex eventLock_;
  std::condition_variable eventWake_;
  bool complete_ = false;
  std::uint32_t nextTicket_ = 0;
  std::set<std::uint32_t> openRequests_;

  CDecodeThread* decodeThread_ = nullptr;
};
