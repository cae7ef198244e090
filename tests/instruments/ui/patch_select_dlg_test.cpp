// The patch and drum set dialogs: the selection and its key, banks and drum
// files as groups, what the audition sends, the monitor note, OK and Cancel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "../../midi/relay_rig.h"
#include "../temp_folder.h"
#include "instruments/instruments.h"
#include "instruments/note_name.h"
#include "instruments/ui/patch_select_dlg.h"
#include "instruments/ui/ref_list_box.h"
#include "midi/ui/piano.h"

#include "qt_app.h"

namespace melko {
namespace {

using test::App;

// Program 1 sits in three banks (one of them a drum bank), program 5 in two;
// the last bank sends no bank select at all.
constexpr const char* kModule =
    "Test Module\r\n"
    "[Capital]\r\n"
    "000 000 001 Piano\r\n"
    "000 000 002 Bright\r\n"
    "000 000 005 EPiano\r\n"
    "\r\n"
    "[Variation 8]\r\n"
    "008 000 001 Piano w\r\n"
    "008 000 005 EPiano w\r\n"
    "\r\n"
    "[Rhythm Drum Set]\r\n"
    "000 000 001 Standard\r\n"
    "\r\n"
    "[Plain]\r\n"
    "255 255 010 Glock\r\n";

constexpr const char* kKitA =
    "[InstInfo]\r\nName=Kits A\r\n"
    "[Standard]\r\nBankMSB=0\r\nBankLSB=0\r\nProgram=1\r\n036=Kick\r\n038=Snare\r\n"
    "[Room]\r\nBankMSB=0\r\nBankLSB=0\r\nProgram=9\r\n036=Room Kick\r\n"
    "[Room 2]\r\nBankMSB=1\r\nBankLSB=0\r\nProgram=9\r\n036=Room Kick 2\r\n";
constexpr const char* kKitB =
    "[InstInfo]\r\nName=Kits B\r\n"
    "[Power]\r\nBankMSB=0\r\nBankLSB=0\r\nProgram=17\r\n036=Power Kick\r\n"
    "[Room B]\r\nBankMSB=0\r\nBankLSB=0\r\nProgram=9\r\n038=Room Snare B\r\n";

class PatchDialogs : public ::testing::Test {
 protected:
  PatchDialogs() {
    App();
    folder.Write("MODULE.INS", kModule);
    folder.Write("A.DRM", kKitA);
    folder.Write("B.DRM", kKitB);
    insts = std::make_unique<TmInstruments>(folder.Path());
    rig.backend.Clear();
  }
  // Each message as hex bytes ("B0 00 08").
  std::vector<std::string> Sent() {
    std::vector<std::string> out;
    for (const RecordedMessage& m : rig.backend.Snapshot()) {
      std::string s;
      for (uint8_t b : m.Bytes) {
        char buf[4];
        std::snprintf(buf, sizeof buf, s.empty() ? "%02X" : " %02X", b);
        s += buf;
      }
      out.push_back(s);
    }
    rig.backend.Clear();
    return out;
  }
  // Runs `act` on the modal dialog once it is shown.
  static void WhenShown(std::function<void(TCmPatchSelectDlg&)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dlg = qobject_cast<TCmPatchSelectDlg*>(w); dlg && dlg->isVisible()) {
          timer->stop();
          timer->deleteLater();
          act(*dlg);
          if (dlg->isVisible()) dlg->reject();  // never leave a test waiting
          return;
        }
    });
    timer->start();
  }

  test::TempFolder folder;
  std::unique_ptr<TmInstruments> insts;
  test::RelayRig rig;
};

using Strings = std::vector<std::string>;

TEST_F(PatchDialogs, SelectionFollowsTheKeyAndTheBanks) {
  TmPatchSelectDlg dlg(*insts, 0, MakePatchKey(4, 0, 8, false), nullptr, nullptr);
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("PatchList - [Test Module]"));
  ASSERT_EQ(dlg.lbxGroups->count(), 4);
  EXPECT_EQ(dlg.lbxGroups->item(2)->text(), QStringLiteral("Rhythm Drum Set"));
  EXPECT_EQ(dlg.lbxPatches->Count(), 7);
  EXPECT_EQ(dlg.SelectedIndex(), 4);
  EXPECT_EQ(dlg.lbxGroups->currentRow(), 1);

  dlg.SelectGroup(2);  // a bank: its first patch
  EXPECT_EQ(dlg.SelectedIndex(), 5);
  EXPECT_EQ(dlg.SelectedKey(), MakePatchKey(0, 0, 0, true));
  dlg.SelectEntry(1);  // a patch: its bank
  EXPECT_EQ(dlg.lbxGroups->currentRow(), 0);
  EXPECT_EQ(dlg.SelectedKey(), MakePatchKey(1, 0, 0, false));
  dlg.SelectEntry(99);  // out of range changes nothing
  EXPECT_EQ(dlg.SelectedIndex(), 1);

  // A click on the bank list goes through the same way.
  emit dlg.lbxGroups->itemClicked(dlg.lbxGroups->item(3));
  EXPECT_EQ(dlg.SelectedKey(), MakePatchKey(9, 255, 255, false));
}

TEST_F(PatchDialogs, TheSameProgramInSeveralBanks) {
  // No bank 5 exists: the first patch of that program and kind is taken.
  TmPatchSelectDlg melodic(*insts, 0, MakePatchKey(4, 0, 5, false), nullptr, nullptr);
  EXPECT_EQ(melodic.SelectedIndex(), 2);
  EXPECT_EQ(melodic.lbxGroups->currentRow(), 0);
  TmPatchSelectDlg drum(*insts, 0, MakePatchKey(0, 7, 7, true), nullptr, nullptr);
  EXPECT_EQ(drum.SelectedIndex(), 5);
  EXPECT_EQ(drum.lbxGroups->currentRow(), 2);
  // An exact key wins over the first of the program.
  TmPatchSelectDlg exact(*insts, 0, MakePatchKey(0, 0, 8, false), nullptr, nullptr);
  EXPECT_EQ(exact.SelectedIndex(), 3);
  // A program that is nowhere leaves nothing selected, and OK gives nothing.
  TmPatchSelectDlg none(*insts, 0, MakePatchKey(100, 0, 0, false), nullptr, nullptr);
  EXPECT_EQ(none.SelectedIndex(), -1);
  EXPECT_FALSE(none.SelectedKey().has_value());
}

TEST_F(PatchDialogs, AuditionSendsOnlyWhatChanged) {
  rig.relay.Channel = 2;
  TmPatchSelectDlg dlg(*insts, 0, MakePatchKey(0, 0, 0, false), &rig.relay, &rig.ports);
  EXPECT_EQ(Sent(), (Strings{"B2 00 00", "B2 20 00", "C2 00"}));  // the first sends all
  dlg.SelectEntry(1);
  EXPECT_EQ(Sent(), (Strings{"C2 01"}));
  dlg.SelectEntry(3);  // bank MSB 8, the LSB unchanged
  EXPECT_EQ(Sent(), (Strings{"B2 00 08", "C2 00"}));
  dlg.SelectEntry(3);
  EXPECT_EQ(Sent(), Strings{});
  dlg.SelectEntry(5);  // the drum bank: the drum flag alone makes it another key
  EXPECT_EQ(Sent(), (Strings{"B2 00 00", "C2 00"}));
  dlg.SelectEntry(6);  // no bank select given: program only, the banks sent stay remembered
  EXPECT_EQ(Sent(), (Strings{"C2 09"}));
  dlg.SelectEntry(0);
  EXPECT_EQ(Sent(), (Strings{"C2 00"}));

  // A second dialog starts from nothing again.
  TmPatchSelectDlg again(*insts, 0, MakePatchKey(0, 0, 0, false), &rig.relay, &rig.ports);
  EXPECT_EQ(Sent(), (Strings{"B2 00 00", "B2 20 00", "C2 00"}));
}

TEST_F(PatchDialogs, PressingAPatchSoundsTheMonitorNote) {
  TmPatchSelectDlg dlg(*insts, 0, MakePatchKey(0, 0, 0, false), &rig.relay, &rig.ports);
  dlg.resize(900, 600);
  dlg.show();
  dlg.SetMonitorNote(64);
  Sent();
  QWidget* view = dlg.lbxPatches->viewport();
  QPoint at = dlg.lbxPatches->visualRect(dlg.lbxPatches->model()->index(1, 0)).center();
  QTest::mousePress(view, Qt::LeftButton, {}, at);
  EXPECT_EQ(dlg.SelectedIndex(), 1);
  EXPECT_EQ(Sent(), (Strings{"C0 01", "90 40 64"}));  // the patch first, then its note
  EXPECT_EQ(dlg.SoundingNote(), 64);
  QTest::mouseRelease(view, Qt::LeftButton, {}, at);
  EXPECT_EQ(Sent(), (Strings{"90 40 00"}));
  // Closing while the note sounds ends it.
  QTest::mousePress(view, Qt::LeftButton, {}, at);
  Sent();
  dlg.reject();
  EXPECT_EQ(Sent(), (Strings{"90 40 00"}));
}

TEST_F(PatchDialogs, MonitorNoteFromPianoAndKeyboard) {
  TmPatchSelectDlg::LastMonitorNote = 60;
  TmPatchSelectDlg dlg(*insts, 0, MakePatchKey(0, 0, 0, false), nullptr, nullptr);
  EXPECT_EQ(dlg.MonitorNote(), 60);
  EXPECT_TRUE(dlg.mPiano1->IsPressed(60));
  EXPECT_EQ(dlg.edMonitorNote->text().toStdString(), NoteName(60, 0));
  dlg.mPiano1->OnPianoKeyDown(61);
  EXPECT_EQ(dlg.MonitorNote(), 61);
  EXPECT_FALSE(dlg.mPiano1->IsPressed(60));
  EXPECT_TRUE(dlg.mPiano1->IsPressed(61));
  EXPECT_EQ(dlg.edMonitorNote->text().toStdString(), NoteName(61, 0));
  dlg.mKanabun1.NoteOn(48);
  EXPECT_EQ(dlg.MonitorNote(), 48);
  dlg.mKanabun1.NoteOff(48);
  EXPECT_EQ(dlg.MonitorNote(), 48);
}

TEST_F(PatchDialogs, ExecuteReturnsThePatchOnlyWithOk) {
  TmPatchSelectDlg::LastMonitorNote = 60;
  TPatchKey key = MakePatchKey(0, 0, 0, false);
  WhenShown([](TCmPatchSelectDlg& d) {
    d.SelectEntry(4);
    d.SetMonitorNote(72);
    d.btnOK->click();
  });
  EXPECT_TRUE(TmPatchSelectDlg::Execute(*insts, "test module", key, &rig.relay, &rig.ports));
  EXPECT_EQ(key, MakePatchKey(4, 0, 8, false));
  EXPECT_EQ(TmPatchSelectDlg::LastMonitorNote, 72);  // kept for the next dialog

  WhenShown([](TCmPatchSelectDlg& d) {
    EXPECT_EQ(d.SelectedIndex(), 4);
    EXPECT_EQ(d.MonitorNote(), 72);
    d.SelectEntry(0);
    d.btnCancel->click();
  });
  EXPECT_FALSE(TmPatchSelectDlg::Execute(*insts, 0, key, &rig.relay, &rig.ports));
  EXPECT_EQ(key, MakePatchKey(4, 0, 8, false));

  // A double click on a patch is OK.
  WhenShown([](TCmPatchSelectDlg& d) {
    d.SelectEntry(1);  // the first click of the two
    emit d.lbxPatches->doubleClicked(d.lbxPatches->model()->index(1, 0));
  });
  EXPECT_TRUE(TmPatchSelectDlg::Execute(*insts, 0, key, nullptr, nullptr));
  EXPECT_EQ(key, MakePatchKey(1, 0, 0, false));
}

TEST_F(PatchDialogs, UnknownInstrumentsOpenNothing) {
  TPatchKey key = 5;
  EXPECT_FALSE(TmPatchSelectDlg::Execute(*insts, "No Such", key, nullptr, nullptr));
  EXPECT_FALSE(TmPatchSelectDlg::Execute(*insts, 7, key, nullptr, nullptr));
  EXPECT_EQ(key, 5u);
  TmInstruments empty(folder.Path() + "/missing");
  int drum = 0;
  EXPECT_FALSE(TmDrumPatchSelectDlg::Execute(empty, drum, key, nullptr, nullptr));
}

TEST_F(PatchDialogs, DrumSetsAndTheirFiles) {
  TmDrumPatchSelectDlg::LastMonitorNote = 36;
  TmDrumPatchSelectDlg dlg(*insts, 0, MakePatchKey(8, 5, 5, true), &rig.relay, &rig.ports);
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("DrumPatchList - [Kits A]"));
  ASSERT_EQ(dlg.lbxGroups->count(), 2);
  EXPECT_EQ(dlg.lbxGroups->currentRow(), 0);
  EXPECT_EQ(dlg.SelectedIndex(), 1);  // inexact: the first set of that program in file order
  EXPECT_EQ(dlg.edToneName->text(), QStringLiteral("Room Kick"));
  EXPECT_EQ(Sent(), (Strings{"B0 00 00", "B0 20 00", "C0 08"}));
  dlg.SetMonitorNote(38);
  EXPECT_EQ(dlg.edToneName->text(), QString());  // the room set names no snare
  dlg.SelectEntry(0);
  EXPECT_EQ(dlg.edToneName->text(), QStringLiteral("Snare"));
  dlg.SelectEntry(2);
  EXPECT_EQ(Sent(), (Strings{"C0 00", "B0 00 01", "C0 08"}));
  TmDrumInst* a = dlg.DrumInst();
  EXPECT_TRUE(a->ToneNamesLoaded(0));

  // Another file: the names of the first are dropped and the current key's set
  // is found there.
  emit dlg.lbxGroups->itemClicked(dlg.lbxGroups->item(1));
  EXPECT_EQ(dlg.DrumIndex(), 1);
  EXPECT_FALSE(a->ToneNamesLoaded(0));
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("DrumPatchList - [Kits B]"));
  EXPECT_EQ(dlg.SelectedIndex(), 1);
  EXPECT_EQ(dlg.edToneName->text(), QStringLiteral("Room Snare B"));
  dlg.SelectEntry(0);
  // Back to the first file: no set has program 17, so its first.
  dlg.SelectGroup(0);
  EXPECT_EQ(dlg.SelectedIndex(), 0);
  EXPECT_EQ(dlg.SelectedKey(), MakePatchKey(0, 0, 0, true));
}

TEST_F(PatchDialogs, DrumExecuteReturnsFileAndSet) {
  int drum = 0;
  TPatchKey key = MakePatchKey(0, 0, 0, true);
  WhenShown([](TCmPatchSelectDlg& d) {
    d.SelectGroup(1);
    d.SelectEntry(0);
    d.btnOK->click();
  });
  EXPECT_TRUE(TmDrumPatchSelectDlg::Execute(*insts, drum, key, nullptr, nullptr));
  EXPECT_EQ(drum, 1);
  EXPECT_EQ(key, MakePatchKey(16, 0, 0, true));
  EXPECT_FALSE(insts->GetDrumInst(1)->ToneNamesLoaded(0));  // dropped on closing

  WhenShown([](TCmPatchSelectDlg& d) {
    EXPECT_EQ(d.SelectedIndex(), 0);
    d.SelectGroup(0);
    d.btnCancel->click();
  });
  EXPECT_FALSE(TmDrumPatchSelectDlg::Execute(*insts, drum, key, nullptr, nullptr));
  EXPECT_EQ(drum, 1);
  EXPECT_EQ(key, MakePatchKey(16, 0, 0, true));
}

TEST_F(PatchDialogs, RefListBoxDrawsFromTheListInColumns) {
  std::vector<std::string> names;
  for (int i = 0; i < 500; ++i) names.push_back("Patch " + std::to_string(i));
  TmRefListBox box;
  const int step = box.ColumnStep();
  EXPECT_GE(step, 160);
  box.resize(4 * step + 20, 200);
  box.SetList(&names);
  EXPECT_EQ(box.Count(), 500);
  EXPECT_EQ(box.Columns(), 4);
  EXPECT_EQ(box.ColumnWidth(), (4 * step + 16) / 4);
  names[7] = "Renamed";  // read through, not copied
  EXPECT_EQ(box.model()->index(7, 0).data().toString(), QStringLiteral("Renamed"));
  box.resize(step - 1, 200);
  EXPECT_EQ(box.Columns(), 1);
  box.SetItemIndex(42);
  EXPECT_EQ(box.ItemIndex(), 42);
  box.SetItemIndex(-1);
  EXPECT_EQ(box.ItemIndex(), -1);
  box.SetList(nullptr);
  EXPECT_EQ(box.Count(), 0);
}

}  // namespace
}  // namespace melko
