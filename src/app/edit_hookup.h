// Plugs the edit layer into the main window: the dispatcher with its range
// and undo, PopEditMenu (Alt in the range boxes), the Edit menu, sbtUndo, the
// meter and key dialogs of the strip, and the edit bracket of the ExTrack
// merge. UI thread; the controller is a child of the window.
#pragma once

namespace melko {

class TMkMainForm;
class TEditController;
class UserPrompt;
class IniFile;

// The settings value "CenterC" is taken within these bounds.
constexpr int kMinCenterC = -2;
constexpr int kMaxCenterC = 2;

TEditController* InstallEditLayer(TMkMainForm& form, UserPrompt& prompt);
// When the window closes: the value curves' interval into the settings and,
// when `writeFiles`, the presets into LINE.TXT.
void SaveEditLayerSettings(TMkMainForm& form, IniFile& ini, bool writeFiles);

}  // namespace melko
