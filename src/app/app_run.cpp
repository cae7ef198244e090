#include "app/app_run.h"
#include "views/ui/track_form.h"
#include "views/mixer_follow.h"
#include "views/ui/mixer_form.h"
#include "views/ui/set_mixer_dlg.h"
#include "base/text_encoding.h"
#include "views/ui/rhythm_form.h"
#include "views/ui/score_form.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMenu>
#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QLineEdit>
#include <QLibraryInfo>
#include <QPainter>
#include <QSocketNotifier>
#include <QTranslator>
#include <QTreeWidget>
#include <cstdlib>
#include <functional>
#include <iostream>

#include "app/app_core.h"
#include "app/filer_form.h"
#include "app/gui_entry.h"
#include "app/log_form.h"
#include "app/option_dlg.h"
#include "app/song_setup_dlg.h"
#include "app/main_form.h"
#include "app/out_of_memory.h"
#include "app/single_instance.h"
#include "app/user_prompt.h"
#include "edit/ui/edit_controller.h"
#include "edit/ui/event_form.h"
#include "edit/ui/event_list_dialogs.h"
#include "sysex/sysex_param_nodes.h"
#include "views/patch_names.h"
#include "edit/ui/make_value_dialog.h"
#include "edit/ui/set_dialogs.h"
#include "edit/ui/tool_dialogs.h"
#include "instruments/instruments.h"
#include "instruments/ui/patch_select_dlg.h"
#include "sysex/sysex_store.h"
#include "sysex/ui/sysex_dlg.h"
#include "midi/system_backend.h"
#include "midi/ui/piano_dlg.h"

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
  MelkoApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("MELKO"));
  QApplication::setDesktopFileName(QStringLiteral("melko"));
  UseJapaneseFont(app);
  QTranslator qtTexts;
  SpeakJapanese(app, qtTexts);
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
  TMkMainForm form(*core, prompt, MainFormOptions{WithSlash(programDir), data, true});
  window = &form;
  prompt.SetParent(&form);
  SynthJoinsLater synthNews(*core, form);
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

namespace {
// A dialog of the window by its `--window` name, made as its command makes it.
std::unique_ptr<QDialog> MakeDialog(const std::string& name, TMkMainForm& form, AppCore& core,
                                    const std::string& data) {
  auto* edit = form.findChild<TEditController*>();
  if (!edit) return nullptr;
  ToolSettings& tools = edit->Dispatcher().Tools;
  const EditNameTables& tables = edit->Tables();
  if (name == "dynamics") return std::make_unique<TDynamicsDlg>(tools.Dynamics, tables.DynCtrl, &form);
  if (name == "transpose") return std::make_unique<TTransposeDlg>(tools.Transpose, edit->CenterC, &form);
  if (name == "gate") return std::make_unique<TGateDlg>(tools.Gate, core.TheSong.TPQN, &form);
  if (name == "quantize")
    return std::make_unique<TQuantizeDlg>(tools.Quantize, tools.QuantizeResolution, core.TheSong.TPQN, &form);
  if (name == "cutter")
    return std::make_unique<TEventCutterDlg>(tools.Cutter, tables.Control, tables.Meta, edit->CenterC, &form);
  if (name == "makevalues" || name.rfind("makevalues:", 0) == 0) {
    // makevalues[:straight|sine|spline]: the dialog over the edit range (a measure when it is empty).
    MakeValueSettings& curves = edit->Dispatcher().Curves;
    const std::string line = name.size() > 11 ? name.substr(11) : "";
    if (line == "sine") curves.LineType = kLineSine;
    else if (line == "spline") curves.LineType = kLineSpline;
    else if (line == "straight") curves.LineType = kLineStraight;
    else if (!line.empty()) return nullptr;
    uint32_t length = edit->Dispatcher().Range.Length();
    if (length == 0) length = uint32_t(core.TheSong.TPQN) * 4;
    return std::make_unique<TMakeValueDlg>(curves, edit->LinePresets, tables.DynCtrl, length, &form);
  }
  if (name == "tempo") return std::make_unique<TBPMDlg>(&form);
  if (name == "meter") return std::make_unique<TMeterDlg>(&form);
  if (name == "keysig") return std::make_unique<TKeySigDlg>(&form);
  if (name == "song-setup") return std::make_unique<TSongSetupDlg>(core.TheSong, true, &form);
  if (name == "midi-filter") return MakeOptionDialog(form, kPageMidiFilter);
  if (name == "midi-port") return MakeOptionDialog(form, kPageMidiPort);
  if (name == "midi-etc") return MakeOptionDialog(form, kPageMidiEtc);
  if (name == "mixer-set") {
    static MixerState mixer;
    std::array<std::string, kMixerRows> names;
    for (int r = 0; r < kMixerRows; ++r) {
      const int cc = mixer.RowCtrl[size_t(r)];
      std::string label = "CC " + std::to_string(cc);
      for (const auto& [code, text] : ControllerList(tables.Control))
        if (code == cc) label = DisplayText(text);
      names[size_t(r)] = std::to_string(cc) + ": " + label;
    }
    return std::make_unique<TSetMixerDlg>(mixer, names, &form);
  }
  if (name == "piano") return std::make_unique<TPianoDlg>(60, edit->CenterC, nullptr, &form);
  if (name == "sysex") {
    // A GS part parameter with a value and its unit, the tree open.
    TSysExStore& sx = form.SysEx();
    auto dlg = std::make_unique<TSysExInputDlg>(sx.Nodes(), sx.Names(), sx.HexTexts(), &form);
    dlg->tvSysEx->expandAll();
    std::string hex;
    SysExDialogOk(sx.Nodes(), sx.Nodes().DefaultHexText("GS Part 1 Pitch Key Shift"), "-3", hex);
    dlg->SetInitialText(hex);
    return dlg;
  }
  if (name == "list-filter") {
    ListFilter f;
    f.Bits = 0xFB;
    f.MetaOn = true;
    f.Meta = 6;
    return std::make_unique<TEventFilterDlg>(f, tables.Control, tables.Meta, &form);
  }
  if (name == "shift-location") return std::make_unique<TShiftLocaDlg>(QStringLiteral("002/01/000"), &form);
  if (name == "rpn") {
    static RpnTable rpn;
    LoadRpnTables(data, rpn);
    return std::make_unique<TPackedRPNDlg>(rpn, QStringLiteral("000/01/000"), &form);
  }
  if (name == "patch" || name == "drum-patch") {
    static TmInstruments insts(data + "INST");
    if (name == "patch")  // a GS variation: the banks' grounds alternate around it
      return std::make_unique<TmPatchSelectDlg>(insts, std::max(0, insts.IndexOfInst("GS")), MakePatchKey(3, 0, 8, false),
                                                nullptr, nullptr, &form);
    return std::make_unique<TmDrumPatchSelectDlg>(insts, std::max(0, insts.IndexOfDrumInst("GS Drums")),
                                                  MakePatchKey(8, 0, 0, true), nullptr, nullptr, &form);
  }
  return nullptr;
}
}  // namespace


int RunScreenshot(int argc, char** argv, const std::vector<std::string>& arguments, const std::string& dataDir,
                  const std::string& programDir) {
  // `--window NAME` anywhere after OUT.png picks what is drawn.
  std::vector<std::string> args = arguments;
  std::string windowName = "main";
  for (size_t i = 2; i + 1 < args.size(); ++i)
    if (args[i] == "--window") {
      windowName = args[i + 1];
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
      break;
    }
  if (args.size() < 2 || args.size() > 3) {
    std::cerr << "usage: melko --screenshot OUT.png [--window NAME] [FILE]\n  NAME: " << kScreenshotWindows << "\n";
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
  // The file browser takes FILE as the folder or archive it shows; the rhythm editor as a pattern file.
  if (args.size() == 3 && windowName != "rhythm" && windowName != "filer") form.Document().OpenFile(AbsolutePath(args[2]));
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
  QImage out;
  if (windowName == "main") {
    QImage log = framed(*form.LogForm());
    const int gap = 8;
    out = QImage(std::max(main.width(), log.width()), main.height() + gap + log.height(), QImage::Format_RGB32);
    out.fill(Qt::darkGray);
    QPainter painter(&out);
    painter.drawImage(0, 0, main);
    painter.drawImage(0, main.height() + gap, log);
  } else if (windowName == "tracks") {
    // The track sheet under the main window, as they open together.
    TTrackForm* sheet = form.TrackForm();
    if (!sheet) return 1;
    sheet->resize(1000, 520);
    sheet->show();
    sheet->RefreshAll();
    QApplication::processEvents();
    QImage tracks = framed(*sheet);
    const int gap = 8;
    out = QImage(std::max(main.width(), tracks.width()), main.height() + gap + tracks.height(), QImage::Format_RGB32);
    out.fill(Qt::darkGray);
    QPainter painter(&out);
    painter.drawImage(0, 0, main);
    painter.drawImage(0, main.height() + gap, tracks);
  } else if (windowName == "list") {
    // List1 on the song's first track that holds events.
    auto* edit = form.findChild<TEditController*>();
    if (!edit) return 1;
    static TmInstruments insts(data + "INST");
    static TSysExParamNodes nodes(data + "SysEx");
    TEventForm list(core->TheSong, edit->Dispatcher(), edit->Tables(), 1);
    list.Context().CenterC = edit->CenterC;
    list.Context().Nodes = &nodes;
    list.Context().PatchName = PatchNamer(insts);
    int track = 1;
    for (int t = 1; t < kSongTracks; ++t)
      if (core->TheSong.Tracks[size_t(t)].HasData()) {
        track = t;
        break;
      }
    list.ShowTrack(track);
    list.resize(560, 420);
    list.show();
    QApplication::processEvents();
    list.Editor().Select(2);
    list.Grid()->Refresh();
    QApplication::processEvents();
    out = framed(list);
  } else if (windowName == "mixer") {
    // The mixer after following the song, as it stands when the song ended.
    auto* edit = form.findChild<TEditController*>();
    if (!edit) return 1;
    static MixerState mixer;
    FollowSong(core->TheSong, mixer);
    TMixerForm mixerForm(core->TheSong, edit->Dispatcher(), mixer);
    mixerForm.Hooks.Controllers = [edit] { return ControllerList(edit->Tables().Control); };
    mixerForm.UpdateRowButtons();
    mixerForm.show();
    QApplication::processEvents();
    out = framed(mixerForm);
  } else if (windowName == "rhythm") {
    // The rhythm pattern editor on its own, FILE (when given) read as a pattern file.
    TRymPtEditForm* rhythm = form.RhythmForm();
    if (!rhythm) return 1;
    if (args.size() == 3 && !rhythm->OpenFile(AbsolutePath(args[2]))) return 1;
    rhythm->show();
    QApplication::processEvents();
    out = framed(*rhythm);
  } else if (windowName.rfind("score:", 0) == 0) {
    // score:TRACK[:POSITION][:gedit]: the track's score with its cursor at
    // POSITION, with the graphic edit shown when asked for.
    auto* edit = form.findChild<TEditController*>();
    std::string spec = windowName.substr(6);
    bool showGEdit = false;
    if (spec.size() >= 6 && spec.compare(spec.size() - 6, 6, ":gedit") == 0) {
      showGEdit = true;
      spec.resize(spec.size() - 6);
    }
    const size_t colon = spec.find(':');
    int track = std::atoi(spec.substr(0, colon).c_str());
    if (!edit || track < 1 || track > 64) {
      std::cerr << "melko: score:TRACK[:POSITION] needs a track 1..64\n";
      return 2;
    }
    static StepEntryState stepState;
    stepState.SongLoaded(core->TheSong.TPQN);
    TScoreForm score(core->TheSong, edit->Dispatcher(), stepState, track);
    if (colon != std::string::npos)
      score.Step().SetTick(LocTextToTick(core->TheSong.Maps, spec.substr(colon + 1), 0));
    score.SetControllers(edit->Tables().DynCtrl);
    score.sbtGEdit->setChecked(showGEdit);
    score.resize(1100, showGEdit ? 500 : 340);
    score.show();
    score.RefreshAll();
    QApplication::processEvents();
    score.ShowCursor();
    QApplication::processEvents();
    out = framed(score);
  } else if (windowName == "filer") {
    // The file browser in the folder or archive FILE names, with the
    // document viewer beside it when a document is selected there.
    for (QAction* a : form.mnuFile->actions())
      if (a->objectName() == QStringLiteral("mnuFiler")) a->trigger();
    auto* filer = form.findChild<TFilerForm*>();
    if (!filer) return 1;
    if (args.size() == 3) filer->View()->ShowPlace(AbsolutePath(args[2]));
    // The folder tree reads its folders in the background.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 1500) QApplication::processEvents(QEventLoop::AllEvents, 50);
    out = framed(*filer);
  } else if (windowName == "popup") {
    // The range box's popup menu with its Tools submenu open beside it.
    auto* edit = form.findChild<TEditController*>();
    QMenu* pop = edit ? edit->PopEditMenu() : nullptr;
    if (!pop) return 1;
    pop->popup(form.edStartRange->mapToGlobal(QPoint(0, form.edStartRange->height())));
    QApplication::processEvents();
    QImage menu = pop->grab().toImage();
    QImage sub;
    for (QAction* a : pop->actions())
      if (a->menu() && a->menu()->objectName() == QStringLiteral("popTools")) {
        a->menu()->popup(pop->mapToGlobal(pop->actionGeometry(a).topRight()));
        QApplication::processEvents();
        sub = a->menu()->grab().toImage();
      }
    out = QImage(menu.width() + sub.width() + 4, std::max(menu.height(), sub.height()), QImage::Format_RGB32);
    out.fill(Qt::darkGray);
    QPainter painter(&out);
    painter.drawImage(0, 0, menu);
    painter.drawImage(menu.width() + 4, 0, sub);
  } else {
    std::unique_ptr<QDialog> dialog = MakeDialog(windowName, form, *core, data);
    if (!dialog) {
      std::cerr << "melko: no window named " << windowName << " (" << kScreenshotWindows << ")\n";
      return 2;
    }
    dialog->show();
    QApplication::processEvents();
    out = framed(*dialog);
  }
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
