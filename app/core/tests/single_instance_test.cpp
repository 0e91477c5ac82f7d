#include "galleria/single_instance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <cstdlib>

#include "scratch_folder.h"

namespace fs = std::filesystem;
using namespace galleria;

TEST(HandOverBlock, IsUtf16WithMarkerAndNul) {
  const QByteArray block = EncodeHandOver("/p/\xc3\xa9.qmvk");
  const char expected[] = {'/', 0, 'p', 0, '/', 0, '\xe9', 0, '.', 0, 'q', 0,
                           'm', 0, 'v', 0, 'k', 0, '#',    0, '#', 0, 0,   0};
  EXPECT_EQ(block, QByteArray(expected, sizeof expected));

  const struct {
    QByteArray block;
    std::string path;
  } cases[] = {
      {block, "/p/\xc3\xa9.qmvk"},
      {EncodeHandOver(""), ""},
      {QByteArray(), ""},
      {QByteArray("a\0#\0#\0t\0r\0a\0i\0l\0", 16), "a"},  // after "##" is ignored
      {QByteArray("a\0b\0", 4), "ab"},                    // no marker, no NUL
      {QByteArray("a\0b", 3), "a"},                       // odd length
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeHandOver(c.block), c.path);
}

// The second start is the real program, so the test exercises exactly what users run.
class SecondStart : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    if (!QCoreApplication::instance()) new QCoreApplication(argc_, argv_);
  }

  // Runs galleria with `args` from `folder` while pumping our event loop; returns its exit code.
  int RunGalleria(const QStringList& args, const fs::path& folder) {
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(folder.string()));
    process.start(GALLERIA_EXECUTABLE, args);
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && clock.elapsed() < 20000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      process.waitForFinished(10);
    }
    // Let the last hand-over's disconnect reach us.
    for (int i = 0; i < 20 && received.empty(); ++i)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return process.exitCode();
  }

  ScratchFolder runtime;
  std::vector<std::string> received;

 private:
  int argc_ = 1;
  char arg0_[9] = "galleria";
  char* argv_[2] = {arg0_, nullptr};
};

TEST_F(SecondStart, HandsItsProjectToTheFirstAndEnds) {
  SingleInstance first;
  ASSERT_TRUE(first.IsFirst());
  ASSERT_TRUE(first.Listen([this](const std::string& path) { received.push_back(path); }));
  EXPECT_FALSE(SingleInstance().IsFirst()) << "the lock is held for the life of the first";

  const fs::path cwd = runtime.path() / "somewhere";
  fs::create_directories(cwd);
  EXPECT_EQ(RunGalleria({QString::fromUtf8("my caf\xc3\xa9.qmvk")}, cwd), 0);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], (cwd / "my caf\xc3\xa9.qmvk").string()) << "made absolute by the sender";

  received.clear();
  EXPECT_EQ(RunGalleria({}, cwd), 0);
  EXPECT_EQ(received, std::vector<std::string>{""}) << "no argument only raises the first window";
}

TEST_F(SecondStart, EndsSilentlyWhenTheFirstIsNotListening) {
  SingleInstance first;  // holds the lock, has no window yet
  ASSERT_TRUE(first.IsFirst());
  EXPECT_EQ(RunGalleria({"x.qmvk"}, runtime.path()), 0);
  EXPECT_FALSE(first.HandOver(std::string("x")));
}
