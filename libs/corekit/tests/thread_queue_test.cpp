#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "corekit/element_thread.h"
#include "corekit/msg_queue.h"

namespace {

tagOvraMsg msg(std::uint32_t id, std::intptr_t p1 = 0, std::intptr_t p2 = 0, std::intptr_t p3 = 0) {
  return {id, p1, p2, p3};
}

// Drains a queue that the test filled, ending at a sentinel it pushed last.
std::vector<tagOvraMsg> drain(CElementMsgQueue& q) {
  const tagOvraMsg end = msg(1);
  q.Push_Event(&end);
  std::vector<tagOvraMsg> out;
  tagOvraMsg m{};
  while (q.Wait_Event(&m) && m.id != 1) out.push_back(m);
  return out;
}

TEST(MsgQueue, FoldingRules) {
  const struct {
    const char* name;
    std::vector<tagOvraMsg> pushed;
    std::vector<tagOvraMsg> expected;
  } cases[] = {
      {"1031 replaces a 1031 tail", {msg(1031, 1, 2, 3), msg(1031, 4, 5, 6)}, {msg(1031, 4, 5, 6)}},
      {"three 1033 count up",
       {msg(1033, 10, 7), msg(1033, 99, 8), msg(1033, 99, 9)},
       {msg(1033, 12, 7)}},
      {"1031 after 1033 is appended", {msg(1033, 5), msg(1031, 6)}, {msg(1033, 5), msg(1031, 6)}},
      {"1033 after 1031 is appended", {msg(1031, 5), msg(1033, 6)}, {msg(1031, 5), msg(1033, 6)}},
      {"only the tail folds",
       {msg(1031, 1), msg(7), msg(1031, 2), msg(1031, 3)},
       {msg(1031, 1), msg(7), msg(1031, 3)}},
      {"other ids are never folded", {msg(1032, 1), msg(1032, 2)}, {msg(1032, 1), msg(1032, 2)}},
      // Pointer-sized parameters survive the queue whole.
      {"wide parameters",
       {msg(5, INTPTR_MAX, INTPTR_MIN, -1)},
       {msg(5, INTPTR_MAX, INTPTR_MIN, -1)}},
  };
  for (const auto& c : cases) {
    CElementMsgQueue q;
    for (const auto& m : c.pushed) ASSERT_TRUE(q.Push_Event(&m));
    const auto out = drain(q);
    ASSERT_EQ(out.size(), c.expected.size()) << c.name;
    for (std::size_t i = 0; i < out.size(); ++i) {
      EXPECT_EQ(out[i].id, c.expected[i].id) << c.name;
      EXPECT_EQ(out[i].param1, c.expected[i].param1) << c.name;
      EXPECT_EQ(out[i].param2, c.expected[i].param2) << c.name;
      EXPECT_EQ(out[i].param3, c.expected[i].param3) << c.name;
    }
  }
  CElementMsgQueue q;
  EXPECT_FALSE(q.Push_Event(nullptr));
  EXPECT_FALSE(q.Wait_Event(nullptr));
}

// A consumer that is already asleep wakes for one message; messages keep their order.
TEST(MsgQueue, BlockedConsumerWakesForOneMessage) {
  CElementMsgQueue q;
  std::atomic<bool> waiting{false};
  std::vector<std::intptr_t> got;
  std::thread consumer([&] {
    waiting = true;
    tagOvraMsg m{};
    for (int i = 0; i < 3; ++i) {
      q.Wait_Event(&m);
      got.push_back(m.param1);
    }
  });
  while (!waiting) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let it block
  const tagOvraMsg a = msg(2, 10), b = msg(2, 11), c = msg(2, 12);
  q.Push_Event(&a);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  q.Push_Event(&b);
  q.Push_Event(&c);
  consumer.join();
  EXPECT_EQ(got, (std::vector<std::intptr_t>{10, 11, 12}));
}

// Several producers against one consumer that keeps emptying the queue, so that pushes often
// find it empty right as the consumer goes to sleep: a lost wake-up hangs the test (ctest's
// timeout), a lost or duplicated message breaks the per-producer sequence check.
TEST(MsgQueueStress, ManyProducersOneConsumer) {
  constexpr int kProducers = 4;
  constexpr int kRounds = 20;
  constexpr int kPerRound = 500;
  for (int round = 0; round < kRounds; ++round) {
    CElementMsgQueue q;
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
      producers.emplace_back([&q, p] {
        for (int i = 0; i < kPerRound; ++i) {
          const tagOvraMsg m = msg(100 + p, i);
          q.Push_Event(&m);
          if (i % 64 == 0) std::this_thread::yield();
        }
      });
    }
    std::vector<std::intptr_t> next(kProducers, 0);
    tagOvraMsg m{};
    for (int n = 0; n < kProducers * kPerRound; ++n) {
      ASSERT_TRUE(q.Wait_Event(&m));
      const int p = static_cast<int>(m.id) - 100;
      ASSERT_TRUE(p >= 0 && p < kProducers);
      ASSERT_EQ(m.param1, next[p]) << "producer " << p << " out of order";
      ++next[p];
    }
    for (auto& t : producers) t.join();
  }
}

// Folding under contention: every 1033 is either a node or counted into one.
TEST(MsgQueueStress, CountingFoldKeepsTheTotal) {
  constexpr int kProducers = 3;
  constexpr int kEach = 2000;
  CElementMsgQueue q;
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&q] {
      const tagOvraMsg m = msg(1033, 1);
      for (int i = 0; i < kEach; ++i) q.Push_Event(&m);
    });
  }
  for (auto& t : producers) t.join();
  const auto out = drain(q);
  std::intptr_t total = 0;
  for (const auto& m : out) total += m.param1;
  EXPECT_EQ(total, kProducers * kEach);
  EXPECT_EQ(out.size(), 1u) << "nobody consumed, so every push folded into one tail";
}

class Recorder : public CElementThread {
 public:
  ~Recorder() override { WaitForThreadExit(); }
  std::uint32_t Execute() override {
    policy = sched_getscheduler(0);
    nice = getpriority(PRIO_PROCESS, 0);
    ran = true;
    return 77;
  }
  std::atomic<bool> ran{false};
  int policy = -1;
  int nice = 0;
};

TEST(ElementThread, LifecycleAndPriorities) {
  const int processNice = getpriority(PRIO_PROCESS, 0);
  {
    Recorder t;
    EXPECT_FALSE(t.StatusOK());
    EXPECT_EQ(t.GetThreadHandle(), 0u);
    EXPECT_EQ(t.GetThreadID(), 0u);
    ASSERT_TRUE(t.StartThread(static_cast<ElementThreadPriority>(7)));
    EXPECT_TRUE(t.StatusOK());
    EXPECT_NE(t.GetThreadID(), 0u);
    EXPECT_NE(t.GetThreadHandle(), 0u);
    EXPECT_FALSE(t.StartThread(ELEMENT_THREAD_NORMAL)) << "one thread per object";
    t.WaitForThreadExit();
    EXPECT_TRUE(t.ran);
    EXPECT_FALSE(t.StatusOK());
    EXPECT_EQ(t.GetThreadID(), 0u);
    EXPECT_EQ(t.nice, processNice) << "an unknown priority leaves the thread at normal";
    t.WaitForThreadExit();  // nothing held: nothing happens
  }
  // Lowering always works without privileges; the priority is in place before Execute runs.
  Recorder idle, below;
  ASSERT_TRUE(idle.StartThread(ELEMENT_THREAD_IDLE));
  ASSERT_TRUE(below.StartThread(ELEMENT_THREAD_BELOW_NORMAL));
  idle.WaitForThreadExit();
  below.WaitForThreadExit();
  EXPECT_EQ(idle.policy, SCHED_IDLE);
  EXPECT_EQ(below.nice, std::min(processNice + 5, 19));

  Recorder high;  // may or may not be raised; it must run either way
  ASSERT_TRUE(high.StartThread(ELEMENT_THREAD_HIGHEST));
  high.WaitForThreadExit();
  EXPECT_TRUE(high.ran);
  EXPECT_EQ(CElementThread::OvraThreadProc(nullptr), 0u);
}

// A thread that ends its own object's wait must not hang on itself.
TEST(ElementThread, WaitFromInsideTheThreadDoesNotHang) {
  struct SelfWaiter : CElementThread {
    std::uint32_t Execute() override {
      WaitForThreadExit();
      done = true;
      return 0;
    }
    std::atomic<bool> done{false};
  };
  SelfWaiter t;
  ASSERT_TRUE(t.StartThread(ELEMENT_THREAD_NORMAL));
  while (!t.done) std::this_thread::yield();
  EXPECT_FALSE(t.StatusOK());
}

}  // namespace
