#pragma once
// Numbered window messages over Qt's event loop, so that windows and worker threads keep the
// message protocol of the program (ids, parameters and their order) on Linux.
//
// A window lives on the thread that created it, which must run a Qt event loop. post() queues a
// message and returns at once; send() from the window's own thread calls the handler directly,
// from any other thread it waits until the window's thread has handled it (0 when the window is
// destroyed first). Like every synchronous message, a send to a window whose thread is itself
// waiting for the sender deadlocks: wait for workers only after they have stopped sending.

#include <QObject>

#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <mutex>

class QSocketNotifier;

namespace winmsg {

class Window;
using WindowHandle = Window*;

// A null window ignores the message, as a message to no window does nothing.
void post(WindowHandle window, std::uint32_t id, std::intptr_t wparam = 0,
          std::intptr_t lparam = 0);
std::intptr_t send(WindowHandle window, std::uint32_t id, std::intptr_t wparam = 0,
                   std::intptr_t lparam = 0);

class Window : public QObject {
 public:
  explicit Window(QObject* parent = nullptr);
  ~Window() override;
  // Handles one message; the result is what send() returns.
  virtual std::intptr_t message(std::uint32_t id, std::intptr_t wparam, std::intptr_t lparam) = 0;

 private:
  friend void post(WindowHandle, std::uint32_t, std::intptr_t, std::intptr_t);
  friend std::intptr_t send(WindowHandle, std::uint32_t, std::intptr_t, std::intptr_t);

  struct Pending {
    std::uint32_t id;
    std::intptr_t wparam, lparam;
    std::shared_ptr<std::promise<std::intptr_t>> reply;  // for a send
  };
  // Messages travel in this mailbox under our own lock, and an event counter wakes the window's
  // event loop: nothing crosses threads inside Qt, so every thread checker can follow the
  // hand-over.
  void Deliver(Pending pending);
  void Drain();

  std::mutex mailboxLock_;
  std::deque<Pending> mailbox_;
  int wakeFd_;
  QSocketNotifier* notifier_;
};

}  // namespace winmsg
