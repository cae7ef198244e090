#include "app/single_instance.h"

#include <unistd.h>

#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>

namespace melko {

QString DefaultInstanceName() { return QStringLiteral("MelkoInstance0.96-%1").arg(::getuid()); }

SingleInstance::SingleInstance(QString serverName, QObject* parent) : QObject(parent), name_(std::move(serverName)) {}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
}

bool SingleInstance::HandOver(const std::string& path, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(timeoutMs)) return false;
  // A length word, then the bytes of the path without a terminating zero.
  QByteArray data(path.data(), static_cast<qsizetype>(path.size()));
  QByteArray packet;
  QDataStream out(&packet, QIODevice::WriteOnly);
  out << static_cast<quint32>(data.size());
  packet.append(data);
  socket.write(packet);
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  // Wait for the receiver's acknowledgement so the message is not lost when
  // this process ends at once.
  socket.waitForReadyRead(timeoutMs);
  socket.disconnectFromServer();
  return true;
}

bool SingleInstance::Listen() {
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name_)) {
    // A socket left behind by a crashed run: nobody answers on it.
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(200)) return false;
    QLocalServer::removeServer(name_);
    if (!server_->listen(name_)) return false;
  }
  connect(server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
  return true;
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
      socket->write("ok");
      socket->flush();
      emit PathReceived(buffer.mid(4, static_cast<qsizetype>(length)));
      socket->setProperty("buffer", QByteArray());
    });
  }
}

}  // namespace melko
