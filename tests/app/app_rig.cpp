#include "app_rig.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "app/out_of_memory.h"
#include "base/atomic_write.h"
#include "song/smf_reader.h"
#include "song/smf_writer.h"

namespace melko::test {

QApplication& EnsureApp() {
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "melko_app_tests";
    static char* argv[] = {name, nullptr};
    // The application's own, which ends a command that runs out of memory.
    return new MelkoApplication(argc, argv);
  }();
  return *app;
}

bool ScriptedPrompt::AskYesNo(const std::string& text) {
  Questions.push_back(text);
  if (YesNo.empty()) return DefaultYesNo;
  bool answer = YesNo.front();
  YesNo.pop_front();
  return answer;
}

UserPrompt::Answer ScriptedPrompt::AskYesNoCancel(const std::string& text) {
  Questions.push_back(text);
  if (YesNoCancel.empty()) return DefaultYesNoCancel;
  Answer answer = YesNoCancel.front();
  YesNoCancel.pop_front();
  return answer;
}

std::string ScriptedPrompt::NextFile() {
  if (Files.empty()) return {};
  std::string f = Files.front();
  Files.pop_front();
  return f;
}

TempDir::TempDir() {
  char templ[] = "/tmp/melko_app_XXXXXX";
  path_ = std::string(mkdtemp(templ)) + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

void WriteFile(const std::string& path, const std::string& bytes) { WriteFileAtomically(path, bytes); }

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

std::string MakeSongFile(const std::string& path, int measures, int tpqn, const std::string& title) {
  Song song;
  song.Options.DefaultTPQN = static_cast<uint16_t>(tpqn);
  song.ClearSong();
  song.TrackNames[0] = title;
  song.TrackNames[1] = "Piano";
  ApplySongLoaded(song);
  TMidiEvent pc;
  pc.Status = 0xC0;
  pc.Data1 = 5;
  song.InsertEvent(1, pc, true);
  for (int beat = 0; beat < measures * 4; ++beat) {
    TMidiEvent note;
    note.Time = static_cast<uint32_t>(beat * tpqn);
    note.Status = 0x90;
    note.Data1 = static_cast<uint8_t>(60 + beat % 12);
    note.Data2 = 100;
    note.Data3 = 64;
    note.Value = static_cast<uint32_t>(tpqn / 2);
    song.InsertEvent(1, note, false);
  }
  SaveSongFile(song, path, false);
  return ReadFile(path);
}

AppRig::AppRig(const std::string& iniText) : AppRig(iniText, {"Test Synth"}, {}) {}

AppRig::AppRig(const std::string& iniText, std::vector<std::string> outNames, std::vector<std::string> inNames)
    : OutNames(std::move(outNames)), InNames(std::move(inNames)) {
  EnsureApp();
  ProgramDir = Dir.Path();
  DataDir = ProgramDir + "MELKO/";
  std::filesystem::create_directories(DataDir + "INST");
  for (const char* name : {"CONTROL.TXT", "DYNCTRL.TXT", "META.TXT", "LINE.TXT", "RPN.TXT", "INST/GM.INS",
                           "INST/GM.DRM"})
    WriteFile(DataDir + name, "\r\n");
  MakeSongFile(DataDir + "_SETUP.MID", 1, 480, "Setup");
  if (!iniText.empty()) WriteFile(DataDir + "MELKO.INI", iniText);
  Build();
}

AppRig::~AppRig() {
  form.reset();
  core.reset();
}

void AppRig::Build() {
  auto clock = std::make_unique<VirtualClock>();
  auto backend = std::make_unique<RecordingBackend>(*clock, OutNames, InNames);
  auto timer = std::make_unique<ManualTimer>();
  Clock = clock.get();
  Backend = backend.get();
  Timer = timer.get();
  core = std::make_unique<AppCore>(std::move(backend), std::move(clock), std::move(timer),
                                   [] { return std::make_unique<ManualTimer>(); });
  form = std::make_unique<TMkMainForm>(*core, prompt, MainFormOptions{ProgramDir, DataDir, true});
}

void AppRig::Start(const std::string& commandLineFile) {
  form->show();
  form->Startup(commandLineFile);
}

bool AppRig::Close() {
  form->close();
  return !form->isVisible();
}

void AppRig::Restart(const std::string& commandLineFile) {
  form.reset();
  core.reset();
  Build();
  Start(commandLineFile);
}

void AppRig::Run(int ms) {
  for (int i = 0; i < ms; ++i) {
    Clock->Advance(1);
    Timer->Fire();
  }
  form->DrainEngine();
}

}  // namespace melko::test
