#include "winmsg/winmsg.h"

#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <system_error>

#include <sys/eventfd.h>
#include <unistd.h>

namespace winmsg {

Window::Window(QObject* parent) : QObject(parent), wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  notifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    std::uint64_t wakes = 0;
    [[maybe_unused]] const ssize_t n = read(wakeFd_, &wakes, sizeof wakes);
    Drain();
  });
}

Window::~Window() {
  // Drop what was never handled: a waiting sender gets its 0 instead of waiting for ever.
  std::lock_guard lock(mailboxLock_);
  mailbox_.clear();
  delete notifier_;  // before its descriptor goes
  close(wakeFd_);
}

void Window::Deliver(Pending pending) {
  {
    std::lock_guard lock(mailboxLock_);
    mailbox_.push_back(std::move(pending));
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(wakeFd_, &one, sizeof one);
}

void Window::Drain() {
  for (;;) {
    Pending next;
    {
      std::lock_guard lock(mailboxLock_);
      if (mailbox_.empty()) break;
      next = std::move(mailbox_.front());
      mailbox_.pop_front();
    }
    const std::intptr_t result = message(next.id, next.wparam, next.lparam);
    if (next.reply) next.reply->set_value(result);
  }
}

void post(WindowHandle window, std::uint32_t id, std::intptr_t wparam, std::intptr_t lparam) {
  if (window) window->Deliver({id, wparam, lparam, nullptr});
}

std::intptr_t send(WindowHandle window, std::uint32_t id, std::intptr_t wparam,
                   std::intptr_t lparam) {
  if (!window) return 0;
  if (QThread::currentThread() == window->thread()) return window->message(id, wparam, lparam);
  auto reply = std::make_shared<std::promise<std::intptr_t>>();
  std::future<std::intptr_t> result = reply->get_future();
  window->Deliver({id, wparam, lparam, std::move(reply)});
  try {
    return result.get();
  } catch (const std::future_error&) {
    return 0;  // the window went away with the message unhandled
  }
}

}  // namespace winmsg
