#pragma once
// Numbered window messages over Qt's event loop, so that windows and worker threads keep the
// message protocol of the program (ids, parameters and their order) on Linux.
//
// A window lives on the thread that created it, which must run a Qt event loop. post() queues a
// message and returns at once; send() from the window's own thread calls the handler directly,
// from any other thread it waits until the window's thread has handled it. Like every
// synchronous message, a send to a window whose thread is itself waiting for the sender
// deadlocks: wait for workers only after they have stopped sending.

#include <QObject>

#include <cstdint>

namespace winmsg {

class Window : public QObject {
 public:
  using QObject::QObject;
  // Handles one message; the result is what send() returns.
  virtual std::intptr_t message(std::uint32_t id, std::intptr_t wparam, std::intptr_t lparam) = 0;
};

// The opaque window handle the message protocol passes around.
using WindowHandle = Window*;

// A null window ignores the message, as a message to no window does nothing.
void post(WindowHandle window, std::uint32_t id, std::intptr_t wparam = 0,
          std::intptr_t lparam = 0);
std::intptr_t send(WindowHandle window, std::uint32_t id, std::intptr_t wparam = 0,
                   std::intptr_t lparam = 0);

}  // namespace winmsg
