// The window's SysEx definitions: loaded from the data folder with the
// window, problems in the log, a reload that refills the same tree, and the
// input dialog on them.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "app/log_form.h"
#include "app_rig.h"
#include "sysex/sysex_store.h"
#include "sysex/ui/sysex_dlg.h"

namespace melko::test {
namespace {

TEST(SysExWindow, DefinitionsLoadWithTheWindowAndReload) {
  AppRig rig;
  std::filesystem::create_directories(rig.DataDir + "SysEx");
  WriteFile(rig.DataDir + "SysEx/SysExModels.txt", "[GM]\r\nData=7E dd\r\nDefDevID=7F\r\n");
  WriteFile(rig.DataDir + "SysEx/SysExParams.txt", "[GM On]\r\nModel=GM\r\nAddress=09 01\r\n");
  WriteFile(rig.DataDir + "SYSEX.TXT", "GM On:F0 7E 7F 09 01 00 F7\r\nbroken:F0 80 F7\r\n");
  rig.Restart();  // a window made on this folder
  TSysExStore& sx = rig.form->SysEx();
  TSysExParamNodes* nodes = &sx.Nodes();
  EXPECT_EQ(nodes->Params().Count(), 1);
  EXPECT_EQ(sx.Names(), std::vector<std::string>{"GM On"});
  EXPECT_TRUE(rig.form->LogForm()->Text().contains(QStringLiteral("SYSEX.TXT")));

  WriteFile(rig.DataDir + "SysEx/SysExParams.txt",
            "[GM On]\r\nModel=GM\r\nAddress=09 01\r\n[GM Off]\r\nModel=GM\r\nAddress=09 02\r\n");
  rig.form->ReloadSysEx();
  EXPECT_EQ(&rig.form->SysEx().Nodes(), nodes);  // the same tree, refilled
  EXPECT_EQ(nodes->Params().Count(), 2);

  // The dialog on them: a named message chosen and taken with OK.
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* dlg = qobject_cast<TSysExInputDlg*>(w); dlg && dlg->isVisible()) {
        dlg->ChooseNamedMessage(0);
        dlg->btOk->click();
      }
  });
  EXPECT_EQ(rig.form->InputSysEx("", QPoint(0, 0)), "F0 7E 7F 09 01 00 F7");
}

}  // namespace
}  // namespace melko::test
