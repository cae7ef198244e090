// One running MELKO per user: the first start listens on a local socket
// named after the user; a second start hands its first argument (a file
// path, as raw bytes) to the first and ends, and the first brings its window
// to the front and opens the file. UI thread.
#pragma once

#include <QObject>
#include <QString>
#include <string>

class QLocalServer;

namespace melko {

// The server name used by the application: one per user.
QString DefaultInstanceName();

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit SingleInstance(QString serverName, QObject* parent = nullptr);
  ~SingleInstance() override;

  // Sends `path` to a running instance; true when one took it (the caller
  // then ends). An empty path only brings that instance's window forward.
  bool HandOver(const std::string& path, int timeoutMs = 1000);
  // Becomes the running instance; false when the name cannot be taken.
  bool Listen();

 signals:
  // A second start handed over this path (raw bytes, maybe empty).
  void PathReceived(const QByteArray& path);

 private:
  void OnConnection();
  QString name_;
  QLocalServer* server_ = nullptr;
};

}  // namespace melko
