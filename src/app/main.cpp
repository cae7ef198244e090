// melko: the MIDI sequencer. With a batch option it runs that command and
// exits; without one (or with only a song file) the desktop application starts.
#include <unistd.h>

#include <climits>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli_commands.h"
#ifdef MELKO_WITH_GUI
#include "app/app_run.h"
#endif

namespace {

std::string ExecutableDir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

void PrintHelp(std::ostream& out) {
  out << "usage: melko [--data-dir DIR] [OPTION ARGS...]\n\n";
  for (const auto& c : melko::CliCommands()) out << "  " << c.Usage << "\n      " << c.Help << "\n";
#ifdef MELKO_WITH_GUI
  out << "  [FILE]\n      start the desktop application (opening FILE)\n"
      << "  --screenshot OUT.png [--window NAME] [FILE]\n      render the main window and the log (or the window NAME: "
      << melko::kScreenshotWindows << ") offscreen into OUT.png\n";
#endif
  out << "  --data-dir DIR\n      use DIR as the data folder instead of MELKO/ beside the program\n"
      << "  --help, --version\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string dataDir = ExecutableDir() + "/MELKO";
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--data-dir") {
      if (i + 1 >= args.size()) {
        std::cerr << "--data-dir needs a folder\n";
        return 2;
      }
      dataDir = args[i + 1];
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
      break;
    }
  }
#ifdef MELKO_WITH_GUI
  if (args.empty() || (args.size() == 1 && !args[0].empty() && args[0][0] != '-'))
    return melko::RunApplication(argc, argv, args, dataDir);
  if (args[0] == "--screenshot") return melko::RunScreenshot(argc, argv, args, dataDir);
#endif
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    PrintHelp(std::cout);
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--version") {
    std::cout << "melko " << MELKO_VERSION << "\n";
    return 0;
  }
  for (const auto& c : melko::CliCommands()) {
    if (args[0] == c.Option) {
      melko::CliContext ctx{args, dataDir, std::cout, std::cerr};
      return c.Run(ctx);
    }
  }
  std::cerr << "melko: unknown option " << args[0] << " (see --help)\n";
  return 2;
}
