#pragma once
// Base class of worker threads: derive, implement Execute, StartThread, and make Execute return
// (for example by queueing a quit message) before calling WaitForThreadExit in your destructor.

#include <cstdint>
#include <thread>

// Priorities are best-effort: raising one needs privileges the process may not have; lowering
// always works. Idle maps to the SCHED_IDLE policy.
enum ElementThreadPriority : std::int32_t {
  ELEMENT_THREAD_HIGHEST = 0,
  ELEMENT_THREAD_ABOVE_NORMAL = 1,
  ELEMENT_THREAD_NORMAL = 2,
  ELEMENT_THREAD_BELOW_NORMAL = 3,
  ELEMENT_THREAD_IDLE = 4,
};

class CElementThread {
 public:
  CElementThread();
  // Waits for a still-running thread; it does not ask the thread to stop.
  virtual ~CElementThread();

  CElementThread(const CElementThread&) = delete;
  CElementThread& operator=(const CElementThread&) = delete;

  // The thread's body; its result is the thread's exit code. The base returns 0.
  virtual std::uint32_t Execute();
  // A thread is held.
  virtual bool StatusOK();

  // Starts a thread running OvraThreadProc(this) at once; an unknown priority leaves it normal.
  // Fails while a thread is still held (one thread per object).
  bool StartThread(ElementThreadPriority priority);
  // Waits without limit for the held thread and forgets it; does nothing without one. Called
  // from the thread itself it only lets the thread go (it cannot wait for itself).
  void WaitForThreadExit();

  // The held thread's handle (0 without one) and its kernel thread id (0 without one).
  std::uintptr_t GetThreadHandle() const;
  std::uint32_t GetThreadID() const { return threadId_; }

  // The thread's entry: Execute's result. Nothing touches the object after Execute returns, so
  // a thread that let itself go may end with its object already gone.
  static std::uint32_t OvraThreadProc(void* self);

 private:
  void SetThreadPriority(ElementThreadPriority priority);

  std::thread thread_;
  std::uint32_t threadId_;
};
