#include "winmsg/winmsg.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <thread>
#include <vector>

namespace {

struct Recorder : winmsg::Window {
  std::intptr_t message(std::uint32_t id, std::intptr_t wparam, std::intptr_t lparam) override {
    EXPECT_EQ(QThread::currentThread(), thread()) << "handled on the window's own thread";
    log.push_back({id, wparam, lparam});
    return wparam * 2;
  }
  struct Entry {
    std::uint32_t id;
    std::intptr_t wparam, lparam;
  };
  std::vector<Entry> log;
};

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "winmsg_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

}  // namespace

// Progress is sent (the worker waits for each), results are posted; the window must see them in
// the order the worker produced them, with pointer-sized parameters intact.
TEST(WinMsgStress, SentProgressAndPostedResultsArriveInOrder) {
  App();
  Recorder window;
  constexpr int kSteps = 2000;
  std::vector<std::intptr_t> replies;
  std::thread worker([&] {
    for (int i = 0; i < kSteps; ++i) replies.push_back(winmsg::send(&window, 6003, i, 6006));
    winmsg::post(&window, 6004, reinterpret_cast<std::intptr_t>(&window), INTPTR_MAX);
  });
  QElapsedTimer clock;
  clock.start();
  while (window.log.size() < kSteps + 1 && clock.elapsed() < 30000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  worker.join();

  ASSERT_EQ(window.log.size(), static_cast<size_t>(kSteps + 1));
  for (int i = 0; i < kSteps; ++i) {
    EXPECT_EQ(window.log[i].id, 6003u);
    EXPECT_EQ(window.log[i].wparam, i);
    EXPECT_EQ(replies[i], 2 * i) << "send returns the handler's result";
  }
  EXPECT_EQ(window.log.back().id, 6004u);
  EXPECT_EQ(window.log.back().wparam, reinterpret_cast<std::intptr_t>(&window));
  EXPECT_EQ(window.log.back().lparam, INTPTR_MAX);
}

TEST(WinMsg, SameThreadSendIsDirectAndNullWindowsAreIgnored) {
  App();
  Recorder window;
  EXPECT_EQ(winmsg::send(&window, 1, 21), 42);
  EXPECT_EQ(window.log.size(), 1u);
  winmsg::post(&window, 2);
  EXPECT_EQ(window.log.size(), 1u) << "a post waits for the event loop";
  QCoreApplication::processEvents();
  EXPECT_EQ(window.log.size(), 2u);
  EXPECT_EQ(winmsg::send(nullptr, 1, 5), 0);
  winmsg::post(nullptr, 1);

  auto* doomed = new Recorder;
  winmsg::post(doomed, 3);
  delete doomed;
  QCoreApplication::processEvents();  // must not reach the destroyed window
}
