#include "thumbshelf/clip_list.h"

#include <corekit/local_memory.h>
#include <jotter/jotter.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char16_t kListMarker[] = u"List Start";
constexpr std::int32_t kListMarkerBytes = sizeof kListMarker;
static_assert(kListMarkerBytes == 22);

// The caption as a copy: the element may be deleted by another thread once it is in the list.
std::string captionOf(CElementObject* element) {
  const char* caption = element != nullptr ? element->GetCaption() : nullptr;
  return caption != nullptr ? caption : "";
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Observers

CListObserver::~CListObserver() {
  thumbshelf_detail::PointerSet<CClipList, kMaxSubjects> subjects;
  {
    std::lock_guard guard(lock_);
    subjects = subjects_;
  }
  for (int i = 0; i < subjects.count; ++i) subjects.items[i]->DeleteObserver(this);
}

void CListObserver::AddSubject(CClipList* list) {
  std::lock_guard guard(lock_);
  subjects_.add(list);
}

void CListObserver::DeleteSubject(CClipList* list) {
  std::lock_guard guard(lock_);
  subjects_.remove(list);
}

int CListObserver::GetSubjectCount() const {
  std::lock_guard guard(lock_);
  return subjects_.count;
}

// ---------------------------------------------------------------------------------------------
// Iterator and sorting

bool COvraIterator::IsDone(int limit) {
  const int count = list_->GetCount();
  if (limit < 0) limit = count;
  return position_ < limit && position_ < count;
}

CElementObject* COvraIterator::CurrentObject() {
  return list_->GetObjectW(position_);
}

int CSortArith::Compare(CElementObject* a, CElementObject* b) {
  const int order = a->ElementEqual(b, type_);
  return descending_ ? -order : order;
}

void CSortArith::Sort() {
  std::lock_guard guard(list_->lock_);
  if (list_->count_ < 2) return;
  QuickSort(list_->items_, 0, list_->count_ - 1);
}

// The partition leaves a hole where the pivot was: the right scan moves an element that belongs
// before the pivot into it, the left scan one that belongs after the pivot into the new hole,
// and the pivot goes where they meet. The smaller side is sorted by recursion and the larger
// one by the loop, so that an already sorted list of a million items cannot exhaust the stack
// (the order that results is the same whichever side goes first).
void CSortArith::QuickSort(CElementObject** items, int low, int high) {
  while (low < high) {
    CElementObject* pivot = items[low];
    int i = low, j = high;
    while (i < j) {
      while (i < j && Compare(items[j], pivot) >= 0) --j;
      items[i] = items[j];
      while (i < j && Compare(items[i], pivot) <= 0) ++i;
      items[j] = items[i];
    }
    items[i] = pivot;
    if (i - low < high - i) {
      QuickSort(items, low, i - 1);
      low = i + 1;
    } else {
      QuickSort(items, i + 1, high);
      high = i - 1;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Decode thread

struct CDecodeThread::Batch {
  CElementObject** elements;  // shared heap; slots already handled are null
  std::int32_t count;
  std::int32_t index;  // insert-many: where every element goes
  std::uint32_t generation;
  std::uint32_t ticket;
  bool followUp;  // the message being handled was queued by the thread itself
};

CDecodeThread::CDecodeThread(CClipList* list) : list_(list) {}

CDecodeThread::~CDecodeThread() {
  CancelLoad();
  const tagOvraMsg quit{kQuit, 0, 0, 0};
  queue_.Push_Event(&quit);
  WaitForThreadExit();
}

void CDecodeThread::CancelLoad() {
  enabled_ = false;
  ++generation_;
}

std::uint32_t CDecodeThread::Execute() {
  tagOvraMsg msg{};
  bool quitting = false;
  // After the quit message the thread stays until the follow-ups already queued behind it have
  // come by: they carry elements that would otherwise never be deleted.
  while (!quitting || pendingFollowUps_.load() > 0) {
    queue_.Wait_Event(&msg);
    switch (msg.id) {
      case kQuit:
        quitting = true;
        break;
      case kAddOne:
        HandleOne(msg, false);
        break;
      case kInsertOne:
        HandleOne(msg, true);
        break;
      case kAddMany:
        HandleBatch(msg, false);
        break;
      case kInsertMany:
        HandleBatch(msg, true);
        break;
      default:
        break;
    }
  }
  return 0;
}

bool CDecodeThread::AddElementObject(CElementObject* element, std::uint32_t ticket) {
  enabled_ = true;
  const std::uint64_t tag = generation_.load() | std::uint64_t{ticket} << 32;
  const tagOvraMsg msg{kAddOne, reinterpret_cast<std::intptr_t>(element), 0,
                       static_cast<std::intptr_t>(tag)};
  return queue_.Push_Event(&msg);
}

bool CDecodeThread::InsertElementObject(int index, CElementObject* element, std::uint32_t ticket) {
  enabled_ = true;
  const std::uint64_t tag = generation_.load() | std::uint64_t{ticket} << 32;
  const tagOvraMsg msg{kInsertOne, reinterpret_cast<std::intptr_t>(element), index,
                       static_cast<std::intptr_t>(tag)};
  return queue_.Push_Event(&msg);
}

bool CDecodeThread::AddElementObjects(CElementObject** elements, int count, std::uint32_t ticket) {
  return QueueBatch(kAddMany, elements, count, -1, ticket);
}

bool CDecodeThread::InsertElementObjects(int index, CElementObject** elements, int count,
                                         std::uint32_t ticket) {
  return QueueBatch(kInsertMany, elements, count, index, ticket);
}

bool CDecodeThread::QueueBatch(std::uint32_t id, CElementObject** elements, int count, int index,
                               std::uint32_t ticket) {
  if (elements == nullptr || count <= 0) return false;
  enabled_ = true;
  auto* batch = static_cast<Batch*>(GetLocalMemory(sizeof(Batch)));
  auto* copy = static_cast<CElementObject**>(
      GetLocalMemory(static_cast<std::int32_t>(sizeof(CElementObject*) * count)));
  if (batch == nullptr || copy == nullptr) {
    FreeLocalMemory(batch);
    FreeLocalMemory(copy);
    return false;
  }
  std::copy(elements, elements + count, copy);
  *batch = Batch{copy, count, index, generation_.load(), ticket, false};
  // Add-many counts up from 0; insert-many down from the last element, each inserted at the
  // same index so that the given order results. 64-bit parameters: no count or index is cut.
  const tagOvraMsg msg =
      id == kAddMany
          ? tagOvraMsg{id, reinterpret_cast<std::intptr_t>(batch), count, 0}
          : tagOvraMsg{id, reinterpret_cast<std::intptr_t>(batch), count - 1,
                       static_cast<std::intptr_t>(
                           static_cast<std::uint32_t>(count) |
                           static_cast<std::uint64_t>(static_cast<std::uint32_t>(index)) << 32)};
  if (!queue_.Push_Event(&msg)) {
    FreeLocalMemory(copy);
    FreeLocalMemory(batch);
    return false;
  }
  return true;
}

void CDecodeThread::HandleOne(const tagOvraMsg& msg, bool insert) {
  auto* element = reinterpret_cast<CElementObject*>(msg.param1);
  const auto tag = static_cast<std::uint64_t>(msg.param3);
  const auto generation = static_cast<std::uint32_t>(tag);
  if (Current(generation)) {
    list_->TakeElement(element, insert ? static_cast<int>(msg.param2) : -1, 100, false, insert,
                       generation);
  } else {
    delete element;
  }
  list_->SetCompleteLoad();
  list_->RequestDone(static_cast<std::uint32_t>(tag >> 32));
}

void CDecodeThread::DropBatch(Batch* batch, int from, int to) {
  for (int i = from; i <= to; ++i) {
    delete batch->elements[i];
    batch->elements[i] = nullptr;
  }
}

void CDecodeThread::HandleBatch(const tagOvraMsg& msg, bool insert) {
  auto* batch = reinterpret_cast<Batch*>(msg.param1);
  const int count = batch->count;
  const int position = static_cast<int>(insert ? msg.param2 : msg.param3);
  if (batch->followUp) {
    batch->followUp = false;
    --pendingFollowUps_;
  }

  bool more = false;
  if (Current(batch->generation) && position >= 0 && position < count) {
    CElementObject* element = batch->elements[position];
    batch->elements[position] = nullptr;
    const int percent = insert ? (count - position) * 100 / count : (position + 1) * 100 / count;
    if (insert && position == count - 1) {
      // An index outside the list means the end, decided once for the whole run: each element
      // then goes before the one handled before it, and the order stays as given.
      list_->lock_.lock();
      if (batch->index < 0 || batch->index > list_->count_) batch->index = list_->count_;
      list_->lock_.unlock();
    }
    const auto placed = list_->TakeElement(element, insert ? batch->index : -1, percent, true,
                                           insert, batch->generation);
    if (placed == CClipList::Placed::Full) {
      // The rest would not fit either: each is failed and deleted.
      const int from = insert ? 0 : position + 1;
      const int to = insert ? position - 1 : count - 1;
      for (int i = from; i <= to; ++i) {
        list_->FailedLoad(captionOf(batch->elements[i]).c_str());
        delete batch->elements[i];
        batch->elements[i] = nullptr;
      }
    } else {
      more = insert ? position > 0 : position + 1 < count;
    }
  }
  if (more && Current(batch->generation)) {
    // The next element comes as a new message, behind whatever was queued meanwhile.
    const tagOvraMsg next = insert ? tagOvraMsg{msg.id, msg.param1, position - 1, msg.param3}
                                   : tagOvraMsg{msg.id, msg.param1, msg.param2, position + 1};
    batch->followUp = true;
    ++pendingFollowUps_;
    if (queue_.Push_Event(&next)) return;
    batch->followUp = false;
    --pendingFollowUps_;
  }
  // The run ends: exhausted, cancelled or full. What was not handled is deleted with the array.
  DropBatch(batch, 0, count - 1);
  const std::uint32_t ticket = batch->ticket;
  FreeLocalMemory(batch->elements);
  FreeLocalMemory(batch);
  list_->SetCompleteLoad();
  list_->RequestDone(ticket);
}

// ---------------------------------------------------------------------------------------------
// The list

CClipList::CClipList(int capacity) {
  capacity_ = std::clamp(capacity, 1, kMaxCaps);
  items_ = static_cast<CElementObject**>(
      GetLocalMemory(static_cast<std::int32_t>(sizeof(CElementObject*) * capacity_)));
  if (items_ == nullptr) {
    OvraPrintfTextA("Clip list: no memory for %d items", capacity_);
    capacity_ = 0;
  } else {
    std::fill(items_, items_ + capacity_, nullptr);
  }
  decodeThread_ = new CDecodeThread(this);
  decodeThread_->StartThread(ELEMENT_THREAD_IDLE);
}

CClipList::~CClipList() {
  StopDecodeThread();
  for (int i = 0; i < count_; ++i) delete items_[i];
  FreeLocalMemory(items_);
  delete iterator_;
  std::lock_guard guard(observerLock_);
  for (int i = 0; i < observers_.count; ++i) observers_.items[i]->DeleteSubject(this);
}

void CClipList::StopDecodeThread() {
  delete decodeThread_;
  decodeThread_ = nullptr;
}

bool CClipList::WriteToStream(CVXMemoryStream* stream) {
  return stream != nullptr && stream->Write(kListMarker, kListMarkerBytes);
}

bool CClipList::ReadFromStream(CVXMemoryStream* stream) {
  if (stream == nullptr) return false;
  char16_t marker[kListMarkerBytes / 2] = {};
  std::int32_t got = 0;
  return stream->Read(marker, kListMarkerBytes, &got) && got == kListMarkerBytes &&
         std::memcmp(marker, kListMarker, kListMarkerBytes) == 0;
}

template <typename Call>
void CClipList::ForEachObserver(Call call) {
  std::lock_guard guard(observerLock_);
  for (int i = 0; i < observers_.count; ++i) call(observers_.items[i]);
}

void CClipList::Notify(int code, int index, std::intptr_t value1, std::intptr_t value2) {
  ForEachObserver([&](CListObserver* o) { o->ListChanged(code, index, value1, value2, this); });
}

void CClipList::BeginLoad(const char* caption) {
  ForEachObserver([&](CListObserver* o) { o->LoadBegun(caption, this); });
}

void CClipList::SucceedLoad(const char* caption, int index, int percent) {
  ForEachObserver([&](CListObserver* o) { o->LoadSucceeded(caption, index, percent, this); });
}

void CClipList::FailedLoad(const char* caption) {
  ForEachObserver([&](CListObserver* o) { o->LoadFailed(caption, this); });
}

void CClipList::EndLoadAll() {
  ForEachObserver([&](CListObserver* o) { o->EndLoadAll(this); });
}

void CClipList::AddObserver(CListObserver* observer) {
  std::lock_guard guard(observerLock_);
  observers_.add(observer);
}

// The observer forgets the list as well: it is told nothing more, and must not reach for the
// list after the list has gone.
void CClipList::DeleteObserver(CListObserver* observer) {
  bool removed = false;
  {
    std::lock_guard guard(observerLock_);
    removed = observers_.remove(observer);
  }
  if (removed) observer->DeleteSubject(this);
}

int CClipList::GetObserverCount() {
  std::lock_guard guard(observerLock_);
  return observers_.count;
}

CListObserver* CClipList::GetObserverObject(int index) {
  std::lock_guard guard(observerLock_);
  return observers_.at(index);
}

// ---- the load-complete event and the requests waited for

void CClipList::ResetCompleteLoad() {
  std::lock_guard guard(eventLock_);
  complete_ = false;
}

void CClipList::SetCompleteLoad() {
  {
    std::lock_guard guard(eventLock_);
    complete_ = true;
  }
  eventWake_.notify_all();
  EndLoadAll();
}

void CClipList::WaitForCompleteLoad() {
  std::unique_lock guard(eventLock_);
  eventWake_.wait(guard, [&] { return complete_; });
}

// A waiting caller waits for its own request: the event alone would also be set by a request
// queued before it that finishes first.
std::uint32_t CClipList::OpenRequest(bool wait) {
  if (!wait) return 0;
  std::lock_guard guard(eventLock_);
  complete_ = false;
  if (++nextTicket_ == 0) ++nextTicket_;
  openRequests_.insert(nextTicket_);
  return nextTicket_;
}

void CClipList::RequestDone(std::uint32_t ticket) {
  if (ticket == 0) return;
  {
    std::lock_guard guard(eventLock_);
    openRequests_.erase(ticket);
  }
  eventWake_.notify_all();
}

void CClipList::WaitForRequest(std::uint32_t ticket) {
  if (ticket == 0) return;
  std::unique_lock guard(eventLock_);
  eventWake_.wait(guard, [&] { return openRequests_.count(ticket) == 0; });
}

// ---- adding, through the decode thread

int CClipList::Queue(CElementObject** elements, int count, int index, bool insert, bool many,
                     bool wait) {
  if (elements == nullptr || count <= 0 || decodeThread_ == nullptr) return -1;
  const int before = GetCount();
  const std::uint32_t ticket = OpenRequest(wait);
  bool queued = false;
  if (many) {
    queued = insert ? decodeThread_->InsertElementObjects(index, elements, count, ticket)
                    : decodeThread_->AddElementObjects(elements, count, ticket);
  } else {
    queued = insert ? decodeThread_->InsertElementObject(index, elements[0], ticket)
                    : decodeThread_->AddElementObject(elements[0], ticket);
  }
  if (!queued) {
    RequestDone(ticket);
    for (int i = 0; i < count; ++i) delete elements[i];
    OvraPrintfTextA("Clip list: could not queue %d elements", count);
    return -1;
  }
  WaitForRequest(ticket);
  return before;
}

int CClipList::AddObject(CElementObject* element, bool wait) {
  if (element == nullptr) return -1;
  return Queue(&element, 1, -1, false, false, wait);
}

int CClipList::InsertObject(int index, CElementObject* element, bool wait) {
  if (element == nullptr) return -1;
  return Queue(&element, 1, index, true, false, wait);
}

int CClipList::AddObjects(CElementObject** elements, int count, bool wait) {
  return Queue(elements, count, -1, false, true, wait);
}

int CClipList::InsertObjects(int index, CElementObject** elements, int count, bool wait) {
  return Queue(elements, count, index, true, true, wait);
}

int CClipList::AddFile(const char* path, const char* caption, bool wait) {
  if (path == nullptr || *path == 0) return -1;
  return AddObject(CreateElement(path, caption), wait);
}

int CClipList::InsertFile(int index, const char* path, bool wait) {
  if (path == nullptr || *path == 0) return -1;
  return InsertObject(index, CreateElement(path, nullptr), wait);
}

int CClipList::AddColor(std::uint32_t colour, bool wait) {
  return AddObject(CreateElement(colour), wait);
}

int CClipList::InsertColor(int index, std::uint32_t colour, bool wait) {
  return InsertObject(index, CreateElement(colour), wait);
}

int CClipList::AddItem(const ExplorerItemData* item, bool wait) {
  if (item == nullptr) return -1;
  return AddObject(CreateElement(item), wait);
}

int CClipList::InsertItem(int index, const ExplorerItemData* item, bool wait) {
  if (item == nullptr) return -1;
  return InsertObject(index, CreateElement(item), wait);
}

int CClipList::AddFiles(const char* const* paths, int count, bool wait) {
  std::vector<CElementObject*> made;
  if (!MakeFileElements(paths, count, made)) return -1;
  return AddObjects(made.data(), static_cast<int>(made.size()), wait);
}

int CClipList::InsertFiles(int index, const char* const* paths, int count, bool wait) {
  std::vector<CElementObject*> made;
  if (!MakeFileElements(paths, count, made)) return -1;
  return InsertObjects(index, made.data(), static_cast<int>(made.size()), wait);
}

bool CClipList::MakeFileElements(const char* const* paths, int count,
                                 std::vector<CElementObject*>& made) {
  if (paths == nullptr || count <= 0) return false;
  try {
    made.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
      if (paths[i] == nullptr || *paths[i] == 0) continue;
      if (CElementObject* element = CreateElement(paths[i], nullptr)) made.push_back(element);
    }
  } catch (...) {
    for (CElementObject* element : made) delete element;
    made.clear();
  }
  return !made.empty();
}

// The decode thread's part: runs without the lock while the element opens (that may take long),
// then places it under the lock.
CClipList::Placed CClipList::TakeElement(CElementObject* element, int index, int percent,
                                         bool multi, bool insert, std::uint32_t generation) {
  const std::string caption = captionOf(element);
  if (multi) BeginLoad(caption.c_str());
  const bool accepted = element != nullptr && (element->InitializeOK() || element->Initialize()) &&
                        ObjectValidate(element);
  if (!accepted) {
    FailedLoad(caption.c_str());
    delete element;
    return Placed::Refused;
  }
  int at = -1;
  Placed placed = Placed::Added;
  {
    std::lock_guard guard(lock_);
    if (decodeThread_ == nullptr || !decodeThread_->Current(generation)) {
      placed = Placed::Cancelled;  // cleared or cancelled while it opened
    } else if (count_ >= GetMaxCaps()) {
      if (multi && insert)
        OvraPrintfTextA("Out of List(%d) Max Caps(%d)", count_, GetMaxCaps());
      else
        OvraPrintfTextA("Out of List(%d) Max Caps(%d).", count_, GetMaxCaps());
      placed = Placed::Full;
    } else if (count_ == capacity_ && !Grow()) {
      OvraPrintfTextA("Clip list: no memory to grow beyond %d items", capacity_);
      placed = Placed::Refused;
    } else {
      at = index < 0 || index >= count_ ? count_ : index;
      std::copy_backward(items_ + at, items_ + count_, items_ + count_ + 1);
      items_[at] = element;
      ++count_;
    }
  }
  if (placed == Placed::Added) {
    SucceedLoad(caption.c_str(), at, percent);
  } else {
    if (placed != Placed::Cancelled) FailedLoad(caption.c_str());
    delete element;
  }
  return placed;
}

bool CClipList::Grow() {
  const int wanted = capacity_ > GetMaxCaps() / 2 ? GetMaxCaps() : capacity_ * 2;
  if (wanted <= capacity_) return false;
  auto* grown = static_cast<CElementObject**>(
      ReallocLocalMemory(items_, static_cast<std::int32_t>(sizeof(CElementObject*) * wanted)));
  if (grown == nullptr) return false;
  std::fill(grown + capacity_, grown + wanted, nullptr);
  items_ = grown;
  capacity_ = wanted;
  return true;
}

// ---- changing the array

int CClipList::UpdateObject(int index, CElementObject* element) {
  if (element == nullptr) return -1;
  {
    std::lock_guard guard(lock_);
    if (index < 0 || index >= count_) return -1;
    CElementObject* old = items_[index];
    element->CExplorerInterface::operator=(*old);
    items_[index] = element;
    delete old;
  }
  Notify(LIST_ITEM_UPDATED, index);
  return index;
}

int CClipList::UpdateFile(int index, const char* path, const char* caption) {
  if (path == nullptr || *path == 0) return -1;
  CElementObject* element = CreateElement(path, caption);
  if (element == nullptr) return -1;
  const int result = element->Initialize() ? UpdateObject(index, element) : -1;
  if (result < 0) delete element;
  return result;
}

void CClipList::UpdateCaption(int index, const char* caption) {
  bool changed = false;
  {
    std::lock_guard guard(lock_);
    if (index < 0 || index >= count_) return;
    changed = items_[index]->UpdateCaption(caption);
  }
  if (changed) Notify(LIST_CAPTION_UPDATED, index);
}

void CClipList::ExchangeObject(int a, int b) {
  {
    std::lock_guard guard(lock_);
    if (a != b && a >= 0 && b >= 0 && a < count_ && b < count_) std::swap(items_[a], items_[b]);
  }
  Notify(LIST_EXCHANGED, a, b);
}

void CClipList::MovedSelected(int target) {
  int first = -1, last = -1;
  {
    std::lock_guard guard(lock_);
    target = std::clamp(target, 0, count_);
    CElementObject* anchor = target < count_ ? items_[target] : nullptr;
    std::vector<CElementObject*> taken, rest;
    for (int i = 0; i < count_; ++i)
      (items_[i] != anchor && items_[i]->GetSelected() ? taken : rest).push_back(items_[i]);
    if (taken.empty()) return;
    const auto at = anchor != nullptr ? std::find(rest.begin(), rest.end(), anchor) : rest.end();
    rest.insert(at, taken.begin(), taken.end());
    for (int i = 0; i < count_; ++i) {
      if (items_[i] == rest[static_cast<std::size_t>(i)]) continue;
      if (first < 0) first = i;
      last = i;
      items_[i] = rest[static_cast<std::size_t>(i)];
    }
  }
  if (first >= 0) Notify(LIST_MOVED, first, last);
}

void CClipList::MoveClip(int from, int to) {
  std::lock_guard guard(lock_);
  if (from < 0 || from >= count_) return;
  to = std::clamp(to, 0, count_ - 1);
  CElementObject* moving = items_[from];
  if (from < to)
    std::copy(items_ + from + 1, items_ + to + 1, items_ + from);
  else
    std::copy_backward(items_ + to, items_ + from, items_ + from + 1);
  items_[to] = moving;
}

void CClipList::RemoveAt(int index) {
  std::copy(items_ + index + 1, items_ + count_, items_ + index);
  items_[--count_] = nullptr;
}

void CClipList::DeleteObject(int index) {
  {
    std::lock_guard guard(lock_);
    if (index < 0 || index >= count_) return;
    delete items_[index];
    RemoveAt(index);
  }
  Notify(LIST_DELETED, index);
}

void CClipList::DeleteSelected() {
  int first = -1;
  {
    std::lock_guard guard(lock_);
    int kept = 0;
    for (int i = 0; i < count_; ++i) {
      if (items_[i]->GetSelected()) {
        if (first < 0) first = i;
        delete items_[i];
      } else {
        items_[kept++] = items_[i];
      }
    }
    std::fill(items_ + kept, items_ + count_, nullptr);
    count_ = kept;
  }
  if (first >= 0) Notify(LIST_DELETED, first);
}

void CClipList::Clear(bool notify) {
  if (decodeThread_ != nullptr) decodeThread_->CancelLoad();
  {
    std::lock_guard guard(lock_);
    for (int i = 0; i < count_; ++i) {
      delete items_[i];
      items_[i] = nullptr;
    }
    count_ = 0;
  }
  if (notify) Notify(LIST_CLEARED, 0);
}

void CClipList::SortBy(CompareType type, SortDirection direction) {
  CSortArith(this, type, direction).Sort();
  Notify(LIST_SORTED, 0);
}

void CClipList::ElementChange(int index, std::uint32_t value) {
  Notify(LIST_ELEMENT_CHANGED, index, value);
}

// ---- selection and queries

bool CClipList::SelectedAll(bool selected) {
  std::lock_guard guard(lock_);
  bool changed = false;
  for (int i = 0; i < count_; ++i) changed = items_[i]->SetSelected(selected) || changed;
  return changed;
}

bool CClipList::GetSelected(int index) {
  std::lock_guard guard(lock_);
  return index >= 0 && index < count_ && items_[index]->GetSelected();
}

bool CClipList::GetFocus(int index) {
  std::lock_guard guard(lock_);
  return index >= 0 && index < count_ && items_[index]->GetFocus();
}

bool CClipList::SetSelected(int index, bool selected) {
  std::lock_guard guard(lock_);
  return index >= 0 && index < count_ && items_[index]->SetSelected(selected);
}

CElementObject* CClipList::GetObjectW(int index) {
  std::lock_guard guard(lock_);
  return index >= 0 && index < count_ ? items_[index] : nullptr;
}

CElementObject* CClipList::GetPrevousObject(CElementObject* element) {
  std::lock_guard guard(lock_);
  auto* at = std::find(items_, items_ + count_, element);
  return element != nullptr && at != items_ + count_ && at != items_ ? *(at - 1) : nullptr;
}

CElementObject* CClipList::GetNextObject(CElementObject* element) {
  std::lock_guard guard(lock_);
  auto* at = std::find(items_, items_ + count_, element);
  return element != nullptr && at + 1 < items_ + count_ ? *(at + 1) : nullptr;
}

COvraIterator* CClipList::CreateIterator() {
  std::lock_guard guard(lock_);
  if (iterator_ == nullptr) iterator_ = new COvraIterator(this);
  return iterator_;
}

bool CClipList::CheckItemExist(CElementObject* element) {
  std::lock_guard guard(lock_);
  return element != nullptr && std::find(items_, items_ + count_, element) != items_ + count_;
}

int CClipList::GetCount() {
  std::lock_guard guard(lock_);
  return count_;
}

int CClipList::GetCapacity() {
  std::lock_guard guard(lock_);
  return capacity_;
}

int CClipList::GetSelectIndex(int* last) {
  std::lock_guard guard(lock_);
  int first = -1, final = -1;
  for (int i = 0; i < count_; ++i) {
    if (!items_[i]->GetSelected()) continue;
    if (first < 0) first = i;
    final = i;
  }
  if (last != nullptr) *last = final;
  return first;
}

CElementObject* CClipList::GetSelectedObject() {
  std::lock_guard guard(lock_);
  for (int i = 0; i < count_; ++i)
    if (items_[i]->GetSelected()) return items_[i];
  return nullptr;
}

CElementObject* CClipList::CreateElement(CVXMemoryStream*) {
  return nullptr;
}
CElementObject* CClipList::CreateElement(const ExplorerItemData*) {
  return nullptr;
}
CElementObject* CClipList::CreateElement(std::uint32_t) {
  return nullptr;
}
CElementObject* CClipList::CreateElement(const char*, const char*) {
  return nullptr;
}
