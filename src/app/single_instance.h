// One running MELKO per user: the first start listens on a local socket
// named after the user; a second start hands its first argument (a file
// path, as raw bytes) to the first and ends, and the first brings its window
// to the front and opens the file. A path is taken only once the first
// instance is ready (its window up and its start-up done); until then it
// answers "wait", and an instance that does not answer at all is taken over.
// UI thread.
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

  enum HandOverResult {
    kTaken,     // the running instance took the path: the caller ends
    kStarting,  // an instance runs but is still starting (or closing): try again
    kNoServer,  // nobody listens: become the instance
    kNoAnswer,  // somebody holds the name but does not answer: take it over
  };
  // Sends `path` to a running instance. An empty path only brings that
  // instance's window forward. `timeoutMs` bounds each wait.
  HandOverResult HandOver(const std::string& path, int timeoutMs = 1000);
  // Hands over, waiting up to `totalMs` for an answer and retrying while the
  // other instance starts; the last answer.
  HandOverResult HandOverWhenReady(const std::string& path, int totalMs);
  // Becomes the running instance; false when the name cannot be taken.
  // `takeOver` removes a name whose holder does not answer.
  bool Listen(bool takeOver = false);
  // Paths are taken only while ready; before, a second start is told to wait.
  void SetReady(bool ready) { ready_ = ready; }
  bool Ready() const { return ready_; }
  // Stops listening, so that a later start becomes the instance itself.
  void Close();

 signals:
  // A second start handed over this path (raw bytes, maybe empty). Emitted
  // from the event loop after the socket's handler returned, so a receiver
  // may open modal boxes.
  void PathReceived(const QByteArray& path);

 private:
  void OnConnection();
  QString name_;
  QLocalServer* server_ = nullptr;
  bool ready_ = false;
};

}  // namespace melko
