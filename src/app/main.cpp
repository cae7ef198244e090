// melko: the MIDI sequencer. With a batch option it runs that command and
// exits; without one (or with only a song file) the desktop application
// starts. This program links no Qt and no FluidSynth: the window lives in
// melko_gui.so, opened here only when a window is wanted, and the built-in
// synth opens FluidSynth when it is first made.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli_commands.h"
#include "app/data_folder.h"
#include "app/gui_entry.h"
#include "app/rcp_converter.h"
#include "song/song_cli.h"

namespace {

void PrintHelp(std::ostream& out) {
  out << "usage: melko [--data-dir DIR] [OPTION ARGS...]\n\n";
  for (const auto& c : melko::CliCommands()) out << "  " << c.Usage << "\n      " << c.Help << "\n";
#ifdef MELKO_WITH_GUI
  out << "  [FILE]\n      start the desktop application (opening FILE)\n"
      << "  --screenshot OUT.png [--window NAME] [FILE]\n      render the main window and the log (or the window NAME: "
      << melko::kScreenshotWindows << ") offscreen into OUT.png\n";
#endif
  out << "  --data-dir DIR\n      use DIR as the data folder instead of MELKO/ beside the program\n"
      << "      (an installed melko keeps it in $XDG_DATA_HOME/melko/MELKO)\n"
      << "  --help, --version\n";
}

#ifdef MELKO_WITH_GUI
// The window's library: beside the program in the build tree, in the
// library folder once installed.
int RunGui(melko::GuiStart& start, const std::string& exeDir) {
  std::string errors;
  void* handle = nullptr;
  for (const std::string& dir : {exeDir, exeDir + MELKO_GUI_LIBRARY_REL}) {
    const std::string path = dir + melko::kGuiLibraryName;
    handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle) break;
    errors += std::string("\n  ") + ::dlerror();
  }
  if (!handle) {
    std::cerr << "melko: the window cannot be opened:" << errors << "\n";
    return 1;
  }
  auto entry = reinterpret_cast<melko::GuiEntry>(::dlsym(handle, melko::kGuiEntryName));
  if (!entry) {
    std::cerr << "melko: " << melko::kGuiLibraryName << " has no entry " << melko::kGuiEntryName << "\n";
    return 1;
  }
  const int status = entry(&start);
  // The application has saved its settings and closed its windows and
  // devices. The libraries' own finalisers are skipped: the built-in synth
  // may still be loading or freeing its SoundFont on a thread of its own,
  // and the process need not wait for that. Only our own streams are
  // flushed: flushing every stream would wait for the lock of the SoundFont
  // file that the loading thread holds while it reads.
  std::cout.flush();
  std::cerr.flush();
  std::fflush(stdout);
  std::fflush(stderr);
  ::_exit(status);
}
#endif

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string dataDirOption;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--data-dir") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        std::cerr << "--data-dir needs a folder\n";
        return 2;
      }
      dataDirOption = args[i + 1];
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
      break;
    }
  }
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    PrintHelp(std::cout);
    return 0;
  }
  if (!args.empty() && args[0] == "--version") {
    std::cout << "melko " << MELKO_VERSION << "\n";
    return 0;
  }
  const melko::DataFolderPlaces places = melko::ThisProcessPlaces(dataDirOption);
  const melko::DataFolderChoice folder = melko::ChooseDataFolder(places);
  if (!folder.Warning.empty()) std::cerr << "melko: " << folder.Warning << "\n";
#ifdef MELKO_WITH_GUI
  const bool window = args.empty() || (args.size() == 1 && !args[0].empty() && args[0][0] != '-');
  if (window || args[0] == "--screenshot") {
    melko::GuiStart start;
    start.Argc = argc;
    start.Argv = argv;
    start.Args = args;
    start.DataDir = folder.DataDir;
    start.ProgramDir = folder.ProgramDir;
    start.Screenshot = !window;
    return RunGui(start, places.ExeDir);
  }
#endif
  if (args.empty()) {
    PrintHelp(std::cout);
    return 2;
  }
  for (const auto& c : melko::CliCommands()) {
    if (args[0] == c.Option) {
      // The batch commands take the folder without its trailing "/".
      std::string dataDir = folder.DataDir;
      while (dataDir.size() > 1 && dataDir.back() == '/') dataDir.pop_back();
      melko::CliContext ctx{args, dataDir, std::cout, std::cerr};
      // RCP songs open through the converter library, loaded on first use.
      melko::DlRcpConverter rcp(melko::DlRcpConverter::DefaultPaths(folder.DataDir));
      melko::SetBatchConverter(&rcp);
      int status = c.Run(ctx);
      melko::SetBatchConverter(nullptr);
      return status;
    }
  }
  std::cerr << "melko: unknown option " << args[0] << " (see --help)\n";
  return 2;
}
