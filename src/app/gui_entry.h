// The door into the desktop application. The window, Qt and everything they
// load live in a library of their own (melko_gui.so) that the melko program
// opens only when a window is wanted, so that a batch command starts without
// them. Both are built together; the version field catches a library of
// another build. Main thread.
#pragma once

#include <string>
#include <vector>

namespace melko {

constexpr int kGuiEntryVersion = 1;
constexpr const char* kGuiEntryName = "MelkoGuiMain";
constexpr const char* kGuiLibraryName = "melko_gui.so";

struct GuiStart {
  int Version = kGuiEntryVersion;
  int Argc = 0;
  char** Argv = nullptr;
  std::vector<std::string> Args;  // without the common options
  std::string DataDir;            // with trailing "/"
  std::string ProgramDir;         // with trailing "/"
  bool Screenshot = false;        // melko --screenshot
};

using GuiEntry = int (*)(const GuiStart* start);

// What `melko --screenshot OUT.png --window NAME` can draw besides the main
// window ("main"): the range boxes' popup menu and the dialogs.
constexpr const char* kScreenshotWindows =
    "main, popup, dynamics, transpose, gate, quantize, cutter, makevalues[:straight|sine|spline], tempo, meter, keysig, "
    "song-setup, midi-filter, midi-port, midi-etc, piano, patch, drum-patch, sysex, tracks, list, list-filter, "
    "shift-location, rpn, mixer, mixer-set, rhythm, score:TRACK[:POSITION], filer";

}  // namespace melko
