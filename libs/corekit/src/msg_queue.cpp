#include "corekit/msg_queue.h"

#include <new>

bool CElementMsgQueue::Push_Event(const tagOvraMsg* msg) {
  if (msg == nullptr) return false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!messages_.empty() && messages_.back().id == msg->id && msg->id == kReplaceTailId) {
      messages_.back() = *msg;
    } else if (!messages_.empty() && messages_.back().id == msg->id && msg->id == kCountTailId) {
      ++messages_.back().param1;
    } else {
      try {
        messages_.push_back(*msg);
      } catch (const std::bad_alloc&) {
        return false;
      }
    }
  }
  // The consumer re-checks the queue under the lock before it sleeps, so a notification can
  // never fall between its check and its wait. Notifying on every push (not only when the count
  // becomes 1) costs nothing when nobody waits and keeps a consumer from sleeping on a
  // non-empty queue.
  wake_.notify_one();
  return true;
}

bool CElementMsgQueue::Wait_Event(tagOvraMsg* msg) {
  if (msg == nullptr) return false;
  std::unique_lock<std::mutex> guard(lock_);
  wake_.wait(guard, [this] { return !messages_.empty(); });
  *msg = messages_.front();
  messages_.pop_front();
  return true;
}
