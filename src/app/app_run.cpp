#include "app/app_run.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QSocketNotifier>
#include <climits>
#include <cstdlib>
#include <functional>
#include <iostream>

#include "app/app_core.h"
#include "app/log_form.h"
#include "app/main_form.h"
#include "app/out_of_memory.h"
#include "app/single_instance.h"
#include "app/user_prompt.h"

namespace melko {

namespace {

// SIGINT and SIGTERM: once the window is up they close it as the user would
// (asking about unsaved changes), so that the settings are written and the
// run counts as a normal end; during start-up they end it (see RunApplication).
int gSignalPipe[2] = {-1, -1};
void OnTerminateSignal(int signo) {
  char c = static_cast<char>(signo);
  ssize_t ignored = ::write(gSignalPipe[1], &c, 1);
  (void)ignored;
}

// `onSignal` runs on the UI thread, from whichever event loop runs (a modal
// box's included), with the signal's number.
void WatchSignals(QObject& owner, std::function<void(int)> onSignal) {
  if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &owner);
  QObject::connect(notifier, &QSocketNotifier::activated, &owner, [onSignal = std::move(onSignal)] {
    char buf[16];
    int signo = 0;
    for (ssize_t n; (n = ::read(gSignalPipe[0], buf, sizeof buf)) > 0;) signo = buf[n - 1];
    if (signo) onSignal(signo);
  });
  struct sigaction sa {};
  sa.sa_handler = OnTerminateSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

std::string ProgramDir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string path(buf, static_cast<size_t>(n));
  return path.substr(0, path.find_last_of('/') + 1);
}

// Messages of a run without a person in front of it go to standard error.
class ConsolePrompt : public UserPrompt {
 public:
  void ShowError(const std::string& text) override { std::cerr << text << "\n"; }
  bool AskYesNo(const std::string& text) override {
    std::cerr << text << " -> Yes\n";
    return true;
  }
  Answer AskYesNoCancel(const std::string& text) override {
    std::cerr << text << " -> No\n";
    return kNo;
  }
  std::string ChooseOpenFile(const std::string&, const std::string&, const std::string&) override { return {}; }
  std::string ChooseSaveFile(const std::string&, const std::string&, const std::string&,
                             const std::string&) override {
    return {};
  }
  bool Exec(QDialog&) override { return false; }
};

void UseJapaneseFont(QApplication& app) {
  // Prefer a Gothic face that has the Japanese texts of the window.
  for (const char* family : {"IPAGothic", "IPAPGothic", "Noto Sans CJK JP", "VL Gothic", "TakaoGothic"}) {
    if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
      QFont font(QString::fromLatin1(family));
      font.setPointSize(9);
      app.setFont(font);
      return;
    }
  }
}

}  // namespace

int RunApplication(int argc, char** argv, const std::vector<std::string>& args, const std::string& dataDir) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
    std::cerr << "melko: no display to open the window on; see melko --help for the batch commands and "
                 "--screenshot\n";
    return 2;
  }
  MelkoApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("MELKO"));
  UseJapaneseFont(app);
  // A relative path means nothing to an instance started elsewhere.
  const std::string file =
      args.empty() ? std::string() : AbsolutePath(args[0]);

  // A signal before the window is ready ends the start-up: every box still
  // open closes (QCoreApplication::exit ends every event loop, and later ones
  // return at once), the start-up runs out and the program ends without a
  // window left behind.
  TMkMainForm* window = nullptr;
  int startupSignal = 0;
  WatchSignals(app, [&](int signo) {
    if (window && window->StartupFinished()) {
      window->close();
    } else if (!startupSignal) {
      startupSignal = signo;
      QCoreApplication::exit(128 + signo);
    }
  });

  SingleInstance instance(DefaultInstanceName());
  // An instance that is still starting gets a few seconds to become ready;
  // one that holds the name without answering is taken over.
  switch (instance.HandOverWhenReady(file, 10000)) {
    case SingleInstance::kTaken:
      return 0;
    case SingleInstance::kStarting:
      std::cerr << "melko: another MELKO is still starting; the file was not handed over\n";
      return 1;
    case SingleInstance::kNoServer:
      instance.Listen();
      break;
    case SingleInstance::kNoAnswer:
      instance.Listen(true);
      break;
  }
  if (startupSignal) return 128 + startupSignal;

  QtUserPrompt prompt;
  app.OutOfMemory = [&prompt] { prompt.ShowError(kMsgOutOfMemory); };
  const std::string data = WithSlash(dataDir);
  if (!MissingRequiredFile(data).empty()) {
    prompt.ShowError(kMsgRequiredFilesMissing);
    return 1;
  }
  std::unique_ptr<AppCore> core = AppCore::CreateSystem(data, true);
  TMkMainForm form(*core, prompt, MainFormOptions{ProgramDir(), data, true});
  window = &form;
  prompt.SetParent(&form);
  QObject::connect(&instance, &SingleInstance::PathReceived, &form, &TMkMainForm::OpenHandedFile);
  // A closed window takes no more files: a start from now on is a new run.
  QObject::connect(&app, &QGuiApplication::lastWindowClosed, &instance, &SingleInstance::Close);
  form.show();
  form.Startup(file);
  if (startupSignal) {
    form.AbandonStartup();
    return 128 + startupSignal;
  }
  instance.SetReady(true);
  int status = app.exec();
  instance.Close();
  return status;
}

int RunScreenshot(int argc, char** argv, const std::vector<std::string>& args, const std::string& dataDir) {
  if (args.size() < 2 || args.size() > 3) {
    std::cerr << "usage: melko --screenshot OUT.png [FILE]\n";
    return 2;
  }
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  UseJapaneseFont(app);
  const std::string data = WithSlash(dataDir);
  ConsolePrompt prompt;
  if (!MissingRequiredFile(data).empty()) {
    prompt.ShowError(kMsgRequiredFilesMissing);
    return 1;
  }
  std::unique_ptr<AppCore> core = AppCore::CreateSystem(data, false);
  // A picture never changes the settings, nor takes another run's temporary file.
  TMkMainForm form(*core, prompt, MainFormOptions{ProgramDir(), data, false, false});
  form.resize(900, form.sizeHint().height());
  form.show();
  form.Startup("");
  if (args.size() == 3) form.Document().OpenFile(AbsolutePath(args[2]));
  QApplication::processEvents();
  form.LogForm()->resize(900, 320);
  form.LogForm()->show();
  QApplication::processEvents();

  // Offscreen windows have no frame: each picture gets a caption bar.
  auto framed = [](QWidget& w) {
    QImage body = w.grab().toImage();
    const int bar = 22;
    QImage image(body.width(), body.height() + bar, QImage::Format_RGB32);
    image.fill(QColor(0x3C, 0x5A, 0x8C));
    QPainter p(&image);
    p.setPen(Qt::white);
    p.drawText(QRect(6, 0, body.width() - 12, bar), Qt::AlignVCenter | Qt::AlignLeft, w.windowTitle());
    p.drawImage(0, bar, body);
    return image;
  };
  QImage main = framed(form);
  QImage log = framed(*form.LogForm());
  const int gap = 8;
  QImage out(std::max(main.width(), log.width()), main.height() + gap + log.height(), QImage::Format_RGB32);
  out.fill(Qt::darkGray);
  QPainter painter(&out);
  painter.drawImage(0, 0, main);
  painter.drawImage(0, main.height() + gap, log);
  painter.end();
  bool ok = out.save(QString::fromStdString(args[1]), "PNG");
  form.Document().ClearSong();
  core->Ports().ClosePorts();
  if (!ok) {
    std::cerr << "The file " << args[1] << " could not be written.\n";
    return 1;
  }
  std::cout << args[1] << "\n";
  return 0;
}

}  // namespace melko
