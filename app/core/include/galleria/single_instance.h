#pragma once
// One running program per user. The first start takes a per-user lock and listens on a local
// socket; a later start hands its project path to the first one and ends.
//
// The hand-over text is the first command-line argument followed by "##", sent as UTF-16LE with
// its two-byte terminating NUL; the receiver keeps what comes before the first "##". A start
// without an argument sends an empty text, which only brings the first window to the front.

#include <QByteArray>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QLocalServer;

namespace galleria {

QByteArray EncodeHandOver(const std::string& argument);
// The path carried by a hand-over block; empty for an empty or malformed block.
std::string DecodeHandOver(const QByteArray& block);

class SingleInstance {
 public:
  // `name` is the socket's name inside the user's runtime folder.
  explicit SingleInstance(std::string name = "pellucora");
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when this process holds the lock: it is the first instance.
  bool IsFirst() const { return lockFd_ >= 0; }

  // First instance: starts accepting hand-overs (needs a Qt event loop); `onHandOver` receives the
  // path of each one ("" when the second start had no argument). False when listening failed.
  bool Listen(std::function<void(const std::string& path)> onHandOver);

  // Second instance: hands `argument` over (made absolute first, as the first instance runs in
  // another working folder). False, silently, when no first instance is listening.
  bool HandOver(const std::optional<std::string>& argument) const;

  const std::filesystem::path& SocketPath() const { return socketPath_; }

 private:
  std::filesystem::path socketPath_;
  int lockFd_ = -1;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace galleria
