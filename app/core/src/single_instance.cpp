#include "galleria/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <cstdlib>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace galleria {
namespace {

constexpr int kHandOverTimeoutMs = 5000;
// A path longer than this is not a path; the reader stops there instead of buffering forever.
constexpr qint64 kMaxHandOverBytes = 1 << 20;

fs::path RuntimeFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) return runtime;
  // Without a runtime folder the socket still has to be per user.
  return fs::temp_directory_path() / ("galleria-" + std::to_string(getuid()));
}

}  // namespace

QByteArray EncodeHandOver(const std::string& argument) {
  const std::u16string text = QString::fromStdString(argument + "##").toStdU16String();
  QByteArray block;
  block.reserve(static_cast<qsizetype>((text.size() + 1) * 2));
  for (char16_t c : text) {
    block.append(static_cast<char>(c & 0xFF));
    block.append(static_cast<char>(c >> 8));
  }
  block.append('\0').append('\0');
  return block;
}

std::string DecodeHandOver(const QByteArray& block) {
  std::u16string text;
  for (qsizetype i = 0; i + 1 < block.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(static_cast<unsigned char>(block[i]) |
                                             (static_cast<unsigned char>(block[i + 1]) << 8));
    if (c == 0) break;
    text.push_back(c);
  }
  const QString decoded = QString::fromStdU16String(text);
  const qsizetype marker = decoded.indexOf(QStringLiteral("##"));
  return (marker < 0 ? decoded : decoded.left(marker)).toStdString();
}

SingleInstance::SingleInstance(std::string name) {
  const fs::path folder = RuntimeFolder();
  std::error_code ec;
  fs::create_directories(folder, ec);
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
  socketPath_ = folder / name;
  const fs::path lockPath = folder / (name + ".lock");
  // The lock plays the part of a named mutex: the kernel drops it when the process ends, however
  // it ends, so a crashed first instance never blocks the next start.
  lockFd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd_ >= 0 && flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
    close(lockFd_);
    lockFd_ = -1;
  }
}

SingleInstance::~SingleInstance() {
  server_.reset();
  if (lockFd_ >= 0) close(lockFd_);
}

bool SingleInstance::Listen(std::function<void(const std::string& path)> onHandOver) {
  if (!IsFirst()) return false;
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  const QString name = QString::fromStdString(socketPath_.string());
  // We hold the lock, so a socket file left behind is stale.
  QLocalServer::removeServer(name);
  if (!server_->listen(name)) return false;
  QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(),
                   [server = server_.get(), onHandOver = std::move(onHandOver)] {
                     while (QLocalSocket* socket = server->nextPendingConnection()) {
                       auto block = std::make_shared<QByteArray>();
                       QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, block] {
                         block->append(socket->read(kMaxHandOverBytes - block->size()));
                         if (block->size() >= kMaxHandOverBytes) socket->abort();
                       });
                       QObject::connect(socket, &QLocalSocket::disconnected, socket,
                                        [socket, block, onHandOver] {
                                          block->append(socket->readAll());
                                          socket->deleteLater();
                                          onHandOver(DecodeHandOver(*block));
                                        });
                     }
                   });
  return true;
}

bool SingleInstance::HandOver(const std::optional<std::string>& argument) const {
  std::string text;
  if (argument) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(*argument, ec);
    text = ec ? *argument : absolute.string();
  }
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(socketPath_.string()));
  if (!socket.waitForConnected(kHandOverTimeoutMs)) return false;
  const QByteArray block = argument ? EncodeHandOver(text) : QByteArray();
  if (socket.write(block) != block.size()) return false;
  while (socket.bytesToWrite() > 0)
    if (!socket.waitForBytesWritten(kHandOverTimeoutMs)) return false;
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState)
    socket.waitForDisconnected(kHandOverTimeoutMs);
  return true;
}

}  // namespace galleria
