// The single-instance rule on real local sockets: a path is taken only by a
// ready instance and delivered after the socket's handler returned; a
// starting instance says so; a holder that does not answer is taken over;
// a closed instance frees the name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalServer>
#include <thread>

#include "app/single_instance.h"
#include "app_rig.h"

namespace melko::test {
namespace {

QString UniqueName(const char* what) {
  static int serial = 0;
  return QStringLiteral("melko-si-test-%1-%2-%3").arg(getpid()).arg(QLatin1String(what)).arg(++serial);
}

// Runs HandOver on another thread (it blocks) while this one runs the events.
SingleInstance::HandOverResult HandOverWhileSpinning(const QString& name, const std::string& path, int timeoutMs) {
  SingleInstance::HandOverResult result = SingleInstance::kNoServer;
  bool done = false;
  std::thread second([&] {
    SingleInstance client(name);
    result = client.HandOver(path, timeoutMs);
    done = true;
  });
  QElapsedTimer t;
  t.start();
  while (!done && t.elapsed() < timeoutMs + 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  second.join();
  return result;
}

TEST(SingleInstance, PathsAreTakenOnlyWhenReadyAndOpenedAfterTheHandler) {
  EnsureApp();
  const QString name = UniqueName("ready");
  SingleInstance first(name);
  ASSERT_TRUE(first.Listen());
  std::vector<QByteArray> received;
  QObject::connect(&first, &SingleInstance::PathReceived, [&](const QByteArray& path) {
    received.push_back(path);
    // As a load-failure box would: a nested event loop, in which the second
    // start's socket goes away and deferred deletes run.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
  });

  // Still starting: the second start is told to wait and nothing arrives.
  EXPECT_EQ(HandOverWhileSpinning(name, "/songs/a.mid", 1000), SingleInstance::kStarting);
  QCoreApplication::processEvents();
  EXPECT_TRUE(received.empty());

  first.SetReady(true);
  EXPECT_EQ(HandOverWhileSpinning(name, "/songs/b.mid", 1000), SingleInstance::kTaken);
  EXPECT_EQ(HandOverWhileSpinning(name, "/songs/c.mid", 1000), SingleInstance::kTaken);
  QElapsedTimer t;
  t.start();
  while (received.size() < 2 && t.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0], QByteArray("/songs/b.mid"));
  EXPECT_EQ(received[1], QByteArray("/songs/c.mid"));

  // A closed instance frees the name: the next start becomes the instance.
  first.Close();
  EXPECT_EQ(HandOverWhileSpinning(name, "/songs/d.mid", 500), SingleInstance::kNoServer);
  SingleInstance next(name);
  EXPECT_TRUE(next.Listen());
}

TEST(SingleInstance, AHolderThatDoesNotAnswerIsTakenOver) {
  EnsureApp();
  const QString name = UniqueName("mute");
  // Listens but never answers (a hung or stopped process).
  QLocalServer mute;
  ASSERT_TRUE(mute.listen(name));
  SingleInstance second(name);
  EXPECT_EQ(second.HandOver("/songs/a.mid", 300), SingleInstance::kNoAnswer);
  EXPECT_FALSE(second.Listen());
  ASSERT_TRUE(second.Listen(true));
  second.SetReady(true);
  EXPECT_EQ(HandOverWhileSpinning(name, "/songs/b.mid", 1000), SingleInstance::kTaken);
}

}  // namespace
}  // namespace melko::test
