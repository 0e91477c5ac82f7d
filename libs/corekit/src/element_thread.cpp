#include "corekit/element_thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <future>

#include <jotter/jotter.h>

namespace {

// Linux gives each thread its own nice value; steps of 5 roughly match the spread of the
// levels, and idle goes to the scheduler's own idle class.
int niceStep(ElementThreadPriority priority) {
  switch (priority) {
    case ELEMENT_THREAD_HIGHEST:
      return -10;
    case ELEMENT_THREAD_ABOVE_NORMAL:
      return -5;
    case ELEMENT_THREAD_BELOW_NORMAL:
      return 5;
    default:
      return 0;
  }
}

bool knownPriority(ElementThreadPriority priority) {
  return priority >= ELEMENT_THREAD_HIGHEST && priority <= ELEMENT_THREAD_IDLE;
}

}  // namespace

CElementThread::CElementThread() : threadId_(0) {}

CElementThread::~CElementThread() {
  WaitForThreadExit();
}

std::uint32_t CElementThread::Execute() {
  return 0;
}

bool CElementThread::StatusOK() {
  return thread_.joinable();
}

std::uint32_t CElementThread::OvraThreadProc(void* self) {
  if (self == nullptr) return 0;
  return static_cast<CElementThread*>(self)->Execute();
}

bool CElementThread::StartThread(ElementThreadPriority priority) {
  if (thread_.joinable()) return false;  // one thread per object
  std::promise<void> go;
  try {
    // The new thread reports its kernel id, then holds until this object knows its handle and
    // has set its priority, so that Execute never sees a half-started object.
    std::promise<pid_t> started;
    std::future<pid_t> id = started.get_future();
    thread_ = std::thread([this, started = std::move(started), ready = go.get_future()]() mutable {
      started.set_value(gettid());
      ready.wait();
      OvraThreadProc(this);
    });
    threadId_ = static_cast<std::uint32_t>(id.get());
  } catch (const std::exception& e) {
    OvraPrintfTextA("corekit: cannot start a thread: %s", e.what());
    threadId_ = 0;
    return false;
  }
  SetThreadPriority(priority);
  go.set_value();
  return true;
}

void CElementThread::SetThreadPriority(ElementThreadPriority priority) {
  if (!thread_.joinable() || !knownPriority(priority)) return;
  // Best effort: a higher priority than the process's needs privileges; without them the
  // thread simply keeps the process's level.
  if (priority == ELEMENT_THREAD_IDLE) {
    sched_param param{};
    pthread_setschedparam(thread_.native_handle(), SCHED_IDLE, &param);
    return;
  }
  const int base = getpriority(PRIO_PROCESS, 0);
  setpriority(PRIO_PROCESS, static_cast<id_t>(threadId_), base + niceStep(priority));
}

void CElementThread::WaitForThreadExit() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();  // waiting for oneself would never end
  } else {
    thread_.join();
  }
  threadId_ = 0;
}

std::uintptr_t CElementThread::GetThreadHandle() const {
  return thread_.joinable()
             ? static_cast<std::uintptr_t>(const_cast<std::thread&>(thread_).native_handle())
             : 0;
}
