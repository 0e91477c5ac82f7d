#include "winmsg/winmsg.h"

#include <QMetaObject>
#include <QThread>

namespace winmsg {

void post(WindowHandle window, std::uint32_t id, std::intptr_t wparam, std::intptr_t lparam) {
  if (!window) return;
  // Queued with the window as context: a window destroyed before delivery drops its messages.
  QMetaObject::invokeMethod(
      window, [window, id, wparam, lparam] { window->message(id, wparam, lparam); },
      Qt::QueuedConnection);
}

std::intptr_t send(WindowHandle window, std::uint32_t id, std::intptr_t wparam,
                   std::intptr_t lparam) {
  if (!window) return 0;
  if (QThread::currentThread() == window->thread()) return window->message(id, wparam, lparam);
  std::intptr_t result = 0;
  QMetaObject::invokeMethod(
      window,
      [&result, window, id, wparam, lparam] { result = window->message(id, wparam, lparam); },
      Qt::BlockingQueuedConnection);
  return result;
}

}  // namespace winmsg
