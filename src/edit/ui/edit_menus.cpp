#include "edit/ui/edit_menus.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

namespace melko {

namespace {
QAction* Item(QMenu* menu, const char* name, const char* caption, int tag, const std::function<void(int)>& run) {
  QAction* a = menu->addAction(QString::fromUtf8(caption));
  a->setObjectName(QString::fromLatin1(name));
  a->setData(tag);
  QObject::connect(a, &QAction::triggered, menu, [run, tag] { run(tag); });
  return a;
}
}  // namespace

EditMenuActions BuildEditMenu(QWidget* parent, const QString& title, bool shortcuts, std::function<void(int)> run,
                              std::function<void()> beginLoop, std::function<void()> endLoop) {
  EditMenuActions m;
  m.Menu = new QMenu(title, parent);
  m.Menu->setObjectName(shortcuts ? QStringLiteral("mnuEdit") : QStringLiteral("PopEditMenu"));
  m.popCopy = Item(m.Menu, "popCopy", "コピー(&C)", kCmdCopy, run);
  m.popErase = Item(m.Menu, "popErase", "消去(&E)", kCmdErase, run);
  m.popCut = Item(m.Menu, "popCut", "切り取り(&D)", kCmdCut, run);
  m.popPaste = Item(m.Menu, "popPaste", "貼り付け(&P)", kCmdPaste, run);
  m.popInsert = Item(m.Menu, "popInsert", "インサート(&I)", kCmdInsert, run);
  m.popMix = Item(m.Menu, "popMix", "ミックス(&M)", kCmdMix, run);
  m.popTools = m.Menu->addMenu(QStringLiteral("ツール(&T)"));
  m.popTools->setObjectName(QStringLiteral("popTools"));
  m.popDynamics = Item(m.popTools, "popDynamics", "&Dynamics", kCmdDynamics, run);
  m.popTranspose = Item(m.popTools, "popTranspose", "&Transpose", kCmdTranspose, run);
  m.popGateTime = Item(m.popTools, "popGateTime", "&GateTime", kCmdGateTime, run);
  m.popMakeValues = Item(m.popTools, "popMakeValues", "&MakeValues", kCmdMakeValues, run);
  m.popQuantize = Item(m.popTools, "popQuantize", "&Quantize", kCmdQuantize, run);
  m.popEventCutter = Item(m.popTools, "popEventCutter", "&EventCutter", kCmdEventCutter, run);
  m.popSet = m.Menu->addMenu(QStringLiteral("設定(&S)"));
  m.popSet->setObjectName(QStringLiteral("popSet"));
  m.popTempo = Item(m.popSet, "popTempo", "&Tempo", kCmdTempo, run);
  m.popMeter = Item(m.popSet, "popMeter", "&Meter", kCmdMeter, run);
  m.popKeysig = Item(m.popSet, "popKeysig", "&KeySig", kCmdKeySig, run);
  m.Menu->addSeparator();
  m.popUndo = Item(m.Menu, "popUndo", "元に戻す(&U)", kCmdUndo, run);
  m.popRedo = Item(m.Menu, "popRedo", "やり直し(&R)", kCmdRedo, run);
  m.Menu->addSeparator();
  m.popBgnLoop = m.Menu->addAction(QStringLiteral("ループ開始位置(&B)"));
  m.popBgnLoop->setObjectName(QStringLiteral("popBgnLoop"));
  QObject::connect(m.popBgnLoop, &QAction::triggered, m.Menu, [beginLoop] { beginLoop(); });
  m.popEndLoop = m.Menu->addAction(QStringLiteral("ループ終了位置(&N)"));
  m.popEndLoop->setObjectName(QStringLiteral("popEndLoop"));
  QObject::connect(m.popEndLoop, &QAction::triggered, m.Menu, [endLoop] { endLoop(); });
  if (shortcuts) {
    m.popCopy->setShortcut(QKeySequence::Copy);
    m.popCut->setShortcut(QKeySequence::Cut);
    m.popPaste->setShortcut(QKeySequence::Paste);
    m.popUndo->setShortcut(QKeySequence::Undo);
    m.popRedo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
  }
  m.popUndo->setEnabled(false);
  m.popRedo->setEnabled(false);
  return m;
}

void EnableEditMenu(EditMenuActions& m, const EditMenuEnabled& e, bool valueCurves) {
  m.popCopy->setEnabled(e.Copy);
  m.popErase->setEnabled(e.Erase);
  m.popCut->setEnabled(e.Cut);
  m.popTools->setEnabled(e.Tools);
  m.popPaste->setEnabled(e.Paste);
  m.popInsert->setEnabled(e.Insert);
  m.popMix->setEnabled(e.Mix);
  m.popMakeValues->setEnabled(valueCurves);
  m.popUndo->setEnabled(e.Undo);
  m.popRedo->setEnabled(e.Redo);
}

void EnableAll(EditMenuActions& m, bool valueCurves) {
  for (QAction* a : {m.popCopy, m.popErase, m.popCut, m.popPaste, m.popInsert, m.popMix, m.popUndo, m.popRedo})
    a->setEnabled(true);
  m.popTools->setEnabled(true);
  m.popMakeValues->setEnabled(valueCurves);
}


}  // namespace melko
