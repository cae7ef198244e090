#include "app/app_run.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QLibraryInfo>
#include <QPainter>
#include <QSocketNotifier>
#include <QTranslator>
#include <cstdlib>
#include <iostream>

#include "app/app_core.h"
#include "app/log_form.h"
#include "app/main_form.h"
#include "app/single_instance.h"
#include "app/user_prompt.h"
#include "midi/system_backend.h"

namespace melko {

namespace {

// SIGINT and SIGTERM close the window as the user would (asking about unsaved
// changes), so that the settings are written and the run counts as a normal end.
int gSignalPipe[2] = {-1, -1};
void OnTerminateSignal(int) {
  char c = 1;
  ssize_t ignored = ::write(gSignalPipe[1], &c, 1);
  (void)ignored;
}

void CloseOnSignals(QWidget& window) {
  if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    char buf[16];
    while (::read(gSignalPipe[0], buf, sizeof buf) > 0) {
    }
    window.close();
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

// The built-in synth loads in the background: its log lines, and a failure
// as the message a failed open gives, reach the window when it is done.
class SynthJoinsLater {
 public:
  SynthJoinsLater(AppCore& core, QWidget& window) : system_(dynamic_cast<SystemMidiBackend*>(&core.Backend())) {
    if (!system_) return;
    system_->SetSynthLoaded([&core, &window, system = system_](const std::string& error) {
      QMetaObject::invokeMethod(
          &window,
          [&core, system, error] {
            for (const auto& line : system->TakeLog()) core.Log.Line(line);
            if (!error.empty() && core.ReportError)
              core.ReportError(error + "\r\n\r\n<MIDI OUT> " + kBuiltinSynthName);
          },
          Qt::QueuedConnection);
    });
  }
  ~SynthJoinsLater() {
    if (system_) system_->SetSynthLoaded(nullptr);
  }

 private:
  SystemMidiBackend* system_;
};

}  // namespace

bool SpeakJapanese(QCoreApplication& app, QTranslator& translator) {
  if (!translator.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return false;
  return app.installTranslator(&translator);
}

int RunApplication(int argc, char** argv, const std::vector<std::string>& args, const std::string& dataDir,
                   const std::string& programDir) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
    std::cerr << "melko: no display to open the window on; see melko --help for the batch commands and "
                 "--screenshot\n";
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("MELKO"));
  QApplication::setDesktopFileName(QStringLiteral("melko"));
  UseJapaneseFont(app);
  QTranslator qtTexts;
  SpeakJapanese(app, qtTexts);
  // A relative path means nothing to an instance started elsewhere.
  const std::string file =
      args.empty() ? std::string() : AbsolutePath(args[0]);

  SingleInstance instance(DefaultInstanceName());
  if (instance.HandOver(file)) return 0;
  instance.Listen();

  QtUserPrompt prompt;
  const std::string data = WithSlash(dataDir);
  if (!MissingRequiredFile(data).empty()) {
    prompt.ShowError(kMsgRequiredFilesMissing);
    return 1;
  }
  std::unique_ptr<AppCore> core = AppCore::CreateSystem(data, true);
  TMkMainForm form(*core, prompt, MainFormOptions{WithSlash(programDir), data, true});
  prompt.SetParent(&form);
  SynthJoinsLater synthNews(*core, form);
  QObject::connect(&instance, &SingleInstance::PathReceived, &form, &TMkMainForm::OpenHandedFile);
  form.show();
  CloseOnSignals(form);
  form.Startup(file);
  return app.exec();
}

int RunScreenshot(int argc, char** argv, const std::vector<std::string>& args, const std::string& dataDir,
                  const std::string& programDir) {
  if (args.size() < 2 || args.size() > 3) {
    std::cerr << "usage: melko --screenshot OUT.png [FILE]\n";
    return 2;
  }
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  UseJapaneseFont(app);
  QTranslator qtTexts;
  SpeakJapanese(app, qtTexts);
  const std::string data = WithSlash(dataDir);
  ConsolePrompt prompt;
  if (!MissingRequiredFile(data).empty()) {
    prompt.ShowError(kMsgRequiredFilesMissing);
    return 1;
  }
  std::unique_ptr<AppCore> core = AppCore::CreateSystem(data, false);
  // A picture never changes the settings, nor takes another run's temporary file.
  TMkMainForm form(*core, prompt, MainFormOptions{WithSlash(programDir), data, false, false});
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
