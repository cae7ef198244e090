// The one function melko_gui.so exports (see gui_entry.h and gui_exports.map).
#include "app/gui_entry.h"

#include <iostream>

#include "app/app_run.h"

extern "C" __attribute__((visibility("default"))) int MelkoGuiMain(const melko::GuiStart* start) {
  if (!start || start->Version != melko::kGuiEntryVersion) {
    std::cerr << "melko: " << melko::kGuiLibraryName << " belongs to another build of melko\n";
    return 1;
  }
  if (start->Screenshot)
    return melko::RunScreenshot(start->Argc, start->Argv, start->Args, start->DataDir, start->ProgramDir);
  return melko::RunApplication(start->Argc, start->Argv, start->Args, start->DataDir, start->ProgramDir);
}
