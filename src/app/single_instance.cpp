#include "app/single_instance.h"

#include <unistd.h>

#include <QDataStream>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QVariant>

namespace melko {

namespace {
// The answers of the running instance.
const char kTakenReply[] = "ok";
const char kStartingReply[] = "wait";
}  // namespace

QString DefaultInstanceName() { return QStringLiteral("MelkoInstance0.96-%1").arg(::getuid()); }

SingleInstance::SingleInstance(QString serverName, QObject* parent) : QObject(parent), name_(std::move(serverName)) {}

SingleInstance::~SingleInstance() { Close(); }

void SingleInstance::Close() {
  ready_ = false;
  if (server_) server_->close();
}

SingleInstance::HandOverResult SingleInstance::HandOver(const std::string& path, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(timeoutMs)) return kNoServer;
  // A length word, then the bytes of the path without a terminating zero.
  QByteArray data(path.data(), static_cast<qsizetype>(path.size()));
  QByteArray packet;
  QDataStream out(&packet, QIODevice::WriteOnly);
  out << static_cast<quint32>(data.size());
  packet.append(data);
  socket.write(packet);
  if (!socket.waitForBytesWritten(timeoutMs)) return kNoAnswer;
  // The path counts as taken only when the receiver says so: a process that
  // holds the name without answering must not swallow it.
  QByteArray reply;
  QElapsedTimer clock;
  clock.start();
  while (reply.size() < 2 && clock.elapsed() < timeoutMs) {
    if (!socket.waitForReadyRead(static_cast<int>(std::max<qint64>(timeoutMs - clock.elapsed(), 1)))) break;
    reply += socket.readAll();
  }
  reply += socket.readAll();
  socket.abort();
  if (reply.startsWith(kStartingReply)) return kStarting;
  if (reply.startsWith(kTakenReply)) return kTaken;
  return kNoAnswer;
}

SingleInstance::HandOverResult SingleInstance::HandOverWhenReady(const std::string& path, int totalMs) {
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    // A busy instance (loading a long song) answers late: it gets the whole
    // time left on the same connection, so that a late answer is not taken
    // for silence and the path is not sent twice.
    const int left = static_cast<int>(std::max<qint64>(totalMs - clock.elapsed(), 200));
    HandOverResult r = HandOver(path, left);
    if (r != kStarting || clock.elapsed() >= totalMs) return r;
    QThread::msleep(200);
  }
}

bool SingleInstance::Listen(bool takeOver) {
  if (!server_) {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
  }
  // Listening with access options puts the socket in place by renaming it,
  // which would silently replace a live instance's: look first.
  if (!takeOver) {
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(200)) return false;
  }
  // What is left is a socket of a crashed run, or of one that does not answer.
  QLocalServer::removeServer(name_);
  return server_->listen(name_);
}

void SingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
      socket->setProperty("buffer", buffer);
      if (buffer.size() < 4) return;
      quint32 length;
      QDataStream in(buffer.left(4));
      in >> length;
      if (length > 65536) {  // not one of ours
        socket->abort();
        return;
      }
      if (static_cast<quint32>(buffer.size() - 4) < length) return;
      socket->setProperty("buffer", QByteArray());
      if (!ready_) {
        socket->write(kStartingReply);
        socket->flush();
        return;
      }
      socket->write(kTakenReply);
      socket->flush();
      // The receiver opens the file and may show a modal box, whose event
      // loop can delete this socket: it runs after this handler returned.
      QByteArray path = buffer.mid(4, static_cast<qsizetype>(length));
      QMetaObject::invokeMethod(this, [this, path] { emit PathReceived(path); }, Qt::QueuedConnection);
    });
  }
}

}  // namespace melko
