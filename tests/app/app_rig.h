// The application on a test bench: a data folder in a temporary directory,
// the real main window on the offscreen platform, a recording MIDI backend
// with a virtual clock and a hand-fired engine timer, and a prompt whose
// answers the test scripts.
#pragma once

#include <QApplication>
#include <QDialog>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_core.h"
#include "app/main_form.h"
#include "app/user_prompt.h"
#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/recording_backend.h"

namespace melko::test {

// The one QApplication of the test binary (offscreen unless told otherwise).
QApplication& EnsureApp();

class ScriptedPrompt : public UserPrompt {
 public:
  std::vector<std::string> Errors;
  std::vector<std::string> Questions;
  std::deque<bool> YesNo;
  bool DefaultYesNo = true;
  std::deque<Answer> YesNoCancel;
  Answer DefaultYesNoCancel = kNo;
  std::deque<std::string> Files;  // answers of the file dialogs, in turn
  std::function<bool(QDialog&)> OnExec;  // default: accept as it is
  std::function<void(const std::string&)> OnError;

  void ShowError(const std::string& text) override {
    Errors.push_back(text);
    if (OnError) OnError(text);
  }
  bool AskYesNo(const std::string& text) override;
  Answer AskYesNoCancel(const std::string& text) override;
  std::string ChooseOpenFile(const std::string&, const std::string&, const std::string&) override { return NextFile(); }
  std::string ChooseSaveFile(const std::string&, const std::string&, const std::string&,
                             const std::string&) override {
    return NextFile();
  }
  bool Exec(QDialog& dialog) override { return OnExec ? OnExec(dialog) : true; }

 private:
  std::string NextFile();
};

class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }  // with trailing "/"

 private:
  std::string path_;
};

// Writes a song of `measures` 4/4 measures (one note per beat on track 1, a
// program change first) at `tpqn`; returns the file's bytes.
std::string MakeSongFile(const std::string& path, int measures, int tpqn = 480, const std::string& title = "Test");
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);

class AppRig {
 public:
  // `iniText` goes into MELKO.INI before the start.
  explicit AppRig(const std::string& iniText = "");
  // With these output and input devices (device 1 first) instead of the one
  // output "Test Synth".
  AppRig(const std::string& iniText, std::vector<std::string> outNames, std::vector<std::string> inNames);
  ~AppRig();

  void Start(const std::string& commandLineFile = "");
  // Closes the window (as the user would) and reports whether it closed.
  bool Close();
  // A new core and window on the same folders (the next run).
  void Restart(const std::string& commandLineFile = "");

  // Moves time by ms and lets the engine's timer run each millisecond; the
  // window drains the engine's notifications afterwards.
  void Run(int ms);

  Song& song() { return core->TheSong; }
  SongDocument& doc() { return form->Document(); }
  std::string Ini() const { return ReadFile(DataDir + "MELKO.INI"); }

  std::vector<std::string> OutNames, InNames;  // before Dir: Build reads them
  TempDir Dir;
  std::string ProgramDir, DataDir;
  VirtualClock* Clock = nullptr;
  ManualTimer* Timer = nullptr;
  RecordingBackend* Backend = nullptr;
  std::unique_ptr<AppCore> core;
  ScriptedPrompt prompt;
  std::unique_ptr<TMkMainForm> form;

 private:
  void Build();
};

}  // namespace melko::test
