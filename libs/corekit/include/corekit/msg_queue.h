#pragma once
// A blocking message queue for any number of producers and one consumer thread.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

// Identifier and three parameters; the parameters carry pointers, counts or packed values as
// each message defines, so they are pointer-sized.
struct tagOvraMsg {
  std::uint32_t id;
  std::intptr_t param1;
  std::intptr_t param2;
  std::intptr_t param3;
};

class CElementMsgQueue {
 public:
  // A 1031 message pushed onto a 1031 tail replaces it; a 1033 message pushed onto a 1033 tail
  // only increases the tail's param1 by 1.
  static constexpr std::uint32_t kReplaceTailId = 1031;
  static constexpr std::uint32_t kCountTailId = 1033;

  CElementMsgQueue() = default;
  ~CElementMsgQueue() = default;
  CElementMsgQueue(const CElementMsgQueue&) = delete;
  CElementMsgQueue& operator=(const CElementMsgQueue&) = delete;

  // Appends a copy (or folds it into the tail, see above) and wakes the consumer. Fails only for
  // a null message or when out of memory; the message is then not queued.
  bool Push_Event(const tagOvraMsg* msg);
  // Blocks until a message is there, then takes the oldest one out. Returns true (false only for
  // a null out-pointer, without waiting).
  bool Wait_Event(tagOvraMsg* msg);

 private:
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<tagOvraMsg> messages_;
};
