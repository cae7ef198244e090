// The popup menu PopEditMenu and the main window's Edit menu: the same
// commands with the Tags of the dispatcher (copy 0 .. key 14, undo 20, redo
// 21) and the Japanese captions; the Edit menu adds the usual shortcuts.
// UI thread; the menus belong to the widget given as parent.
#pragma once

#include <QString>
#include <functional>

#include "edit/edit_dispatcher.h"

class QAction;
class QMenu;
class QWidget;

namespace melko {

struct EditMenuActions {
  QMenu* Menu = nullptr;
  QAction *popCopy, *popErase, *popCut, *popPaste, *popInsert, *popMix;
  QMenu *popTools, *popSet;
  QAction *popDynamics, *popTranspose, *popGateTime, *popMakeValues, *popQuantize, *popEventCutter;
  QAction *popTempo, *popMeter, *popKeysig;
  QAction *popUndo, *popRedo, *popBgnLoop, *popEndLoop;
};

// Builds the menu. `run` gets the Tag of the chosen item; the loop items call
// their own functions. With `shortcuts` the Edit menu's keys are set
// (Ctrl+C, Ctrl+X, Ctrl+V, Ctrl+Z, Ctrl+Y).
EditMenuActions BuildEditMenu(QWidget* parent, const QString& title, bool shortcuts, std::function<void(int)> run,
                              std::function<void()> beginLoop, std::function<void()> endLoop);

// Enables the items as PopEditMenuPopup says; MakeValues also needs `valueCurves`.
void EnableEditMenu(EditMenuActions& m, const EditMenuEnabled& e, bool valueCurves);
// Every item enabled (so the shortcuts reach the dispatcher, which checks).
void EnableAll(EditMenuActions& m, bool valueCurves);

}  // namespace melko
