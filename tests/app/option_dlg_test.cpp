// The option dialog driven through its real controls from the MIDI menu:
// its three pages, the velocity boxes, the thru list, the port chooser, the
// guide-click note, and what OK and Cancel leave in the ports, the engine,
// the settings and MELKO.INI.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "app/option_dlg.h"
#include "app_rig.h"
#include "views/ui/score_form.h"
#include "views/ui/track_form.h"
#include "edit/ui/edit_controller.h"

namespace melko::test {
namespace {

void Type(QLineEdit* box, const QString& text) {
  box->setFocus();
  box->setText(text);
  QTest::keyClick(box, Qt::Key_Return);
}

bool Has(const std::string& ini, const std::string& line) { return ini.find(line + "\r\n") != std::string::npos; }

class OptionDlgTest : public ::testing::Test {
 protected:
  OptionDlgTest() : rig("", {"Test Synth", "Ext Out"}, {"Keys In", "Pad In"}) {}
  void SetUp() override { rig.Start(); }
  // Opens the dialog from `item`, lets `script` work it and answers OK
  // (true) or Cancel (false).
  void Run(QAction* item, std::function<bool(TOptionDlg&)> script) {
    bool opened = false;
    rig.prompt.OnExec = [&](QDialog& d) {
      opened = true;
      auto* dlg = qobject_cast<TOptionDlg*>(&d);
      EXPECT_NE(dlg, nullptr);
      return dlg && script(*dlg);
    };
    item->trigger();
    EXPECT_TRUE(opened);
  }
  MidiPorts& ports() { return rig.core->Ports(); }
  AppRig rig;
};

TEST_F(OptionDlgTest, EachMenuItemOpensThePageOfItsTag) {
  struct Case {
    const char* name;
    QAction* item;
    const char* text;
    int page;
    const char* pageTitle;
  } cases[] = {
      {"filter", rig.form->mnuFilterSetup, "MIDI &Filter Setup", 0, "MIDI Filter"},
      {"port", rig.form->mnuPortSetup, "MIDI &Port Setup", 1, "MIDI Port"},
      {"etc", rig.form->mnuEtcSetup, "MIDI &Etc. Setup", 2, "MIDI Etc."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.item->text(), QString::fromUtf8(c.text));
    EXPECT_EQ(c.item->data().toInt(), c.page);
    Run(c.item, [&](TOptionDlg& dlg) {
      EXPECT_EQ(dlg.Pages->currentIndex(), c.page);
      EXPECT_EQ(dlg.Pages->tabText(c.page), QString::fromUtf8(c.pageTitle));
      return false;
    });
  }
  EXPECT_EQ(rig.form->mnuFilterSetup->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
  // The tag decides, not the item: a retagged item opens the other page.
  rig.form->mnuEtcSetup->setData(kPageMidiFilter);
  Run(rig.form->mnuEtcSetup, [](TOptionDlg& dlg) {
    EXPECT_EQ(dlg.Pages->currentIndex(), kPageMidiFilter);
    return false;
  });
}

TEST_F(OptionDlgTest, OkPutsEveryPageInPlaceAndTheNextRunShowsIt) {
  ASSERT_EQ(ports().PortMap[0], 1);  // the synth on port A, out of the box
  int before = 0, after = 0;
  rig.form->OptionHooks.BeforeApply = [&](const OptionValues& old, const OptionValues& now) {
    ++before;
    // The thru notes are silenced here, on the devices they sound on.
    EXPECT_EQ(ports().PortMap[1], 0);
    EXPECT_EQ(old.Thru.ThruMode, kThruOff);
    EXPECT_EQ(now.Thru.ThruMode, 3);
  };
  rig.form->OptionHooks.OnApplied = [&](const OptionValues& old, const OptionValues& now) {
    ++after;
    EXPECT_EQ(ports().PortMap[1], 2);
    EXPECT_EQ(old.Filter.Receive, kReceiveAll);
    EXPECT_EQ(now.Filter.Receive, kReceiveAll & ~kReceiveNote);
  };
  Run(rig.form->mnuFilterSetup, [](TOptionDlg& dlg) {
    dlg.cbxNote->setChecked(false);
    dlg.rbSet->setChecked(true);
    Type(dlg.edSet, "90");
    dlg.cbxBankChange->setChecked(false);
    dlg.cmbPort[1]->setCurrentIndex(2);
    dlg.cmbMidiInPort->setCurrentIndex(1);
    dlg.cmbThruPort->setCurrentIndex(3);
    dlg.ChoosePort = [](const QStringList& rows, int current) {
      EXPECT_EQ(rows.value(1), QStringLiteral("B: Ext Out"));
      EXPECT_EQ(current, 0);
      return 1;
    };
    dlg.btnOutPort->click();
    dlg.btnClickPort->click();
    dlg.cbxSelectedTrackThru->setChecked(true);
    dlg.cmbToggleType->setCurrentIndex(kLockScroll);
    dlg.cbxUpperEnabled->setChecked(true);
    dlg.edCenterC->setValue(1);
    dlg.edTimerSyncInterval->setValue(20);
    Type(dlg.edClickNote, "C#3");  // octave 3 is note 48.. when centre C is 1
    return true;
  });
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);
  EXPECT_EQ(ports().PortMap[1], 2);
  EXPECT_EQ(ports().PortNames[1], "Ext Out");
  EXPECT_EQ(rig.Backend->OpenNow(2), 1);
  EXPECT_EQ(ports().InPort, 1);
  EXPECT_TRUE(ports().InOpen[1]);
  EXPECT_EQ(ports().SendOptions, kSendSystemExclusive);
  EXPECT_EQ(ports().DefaultOutPort, 1);
  EXPECT_EQ(ports().ClickPort, 1);
  EXPECT_EQ(ports().SyncPort, 0);
  EXPECT_EQ(rig.core->Engine().Options.ClickNote, 49);
  EXPECT_EQ(rig.form->Settings().TimerSyncInterval, 20);
  EXPECT_EQ(rig.form->findChild<TEditController*>()->CenterC, 1);
  // The default port picked anew goes to every track, and the song changed.
  EXPECT_EQ(rig.song().OutPort[1], 1);
  EXPECT_EQ(rig.song().OutPort[64], 1);
  EXPECT_EQ(rig.song().Options.DefaultPort, 1);
  EXPECT_FALSE(rig.song().SongSaved);

  rig.prompt.DefaultYesNoCancel = UserPrompt::kNo;
  ASSERT_TRUE(rig.Close());
  const std::string ini = rig.Ini();
  for (const char* line : {"Receive=62", "Send=1", "VeloType=3", "VeloSet=90", "Thru=3", "goSelectedTrackThru=1",
                           "ToggleType=2", "UpperEnabled=1", "CenterC=1", "TimerSyncInterval=20", "Note=49",
                           "Port1=2", "Port1Name=Ext Out", "In=1", "Out=1", "Click=1"})
    EXPECT_TRUE(Has(ini, line)) << line;

  rig.Restart();
  Run(rig.form->mnuEtcSetup, [](TOptionDlg& dlg) {
    EXPECT_FALSE(dlg.cbxNote->isChecked());
    EXPECT_TRUE(dlg.cbxPitchBend->isChecked());
    EXPECT_TRUE(dlg.rbSet->isChecked());
    EXPECT_EQ(dlg.edSet->text(), QStringLiteral("90"));
    EXPECT_FALSE(dlg.cbxBankChange->isChecked());
    EXPECT_EQ(dlg.cmbPort[1]->currentText(), QStringLiteral("Ext Out"));
    EXPECT_EQ(dlg.cmbMidiInPort->currentText(), QStringLiteral("Keys In"));
    EXPECT_EQ(dlg.cmbThruPort->currentIndex(), 3);
    EXPECT_EQ(dlg.btnOutPort->text(), QStringLiteral("B: Ext Out"));
    EXPECT_TRUE(dlg.cbxSelectedTrackThru->isChecked());
    EXPECT_EQ(dlg.cmbToggleType->currentText(), QStringLiteral("Scroll Lock"));
    EXPECT_TRUE(dlg.cbxUpperEnabled->isChecked());
    EXPECT_EQ(dlg.edCenterC->value(), 1);
    EXPECT_EQ(dlg.edTimerSyncInterval->value(), 20);
    EXPECT_EQ(dlg.edClickNote->text(), QStringLiteral("C# 3"));
    return false;
  });
}

TEST_F(OptionDlgTest, CancelChangesNothingAndClosesTheInputTriedMeanwhile) {
  rig.song().OutPort[3] = 2;
  Run(rig.form->mnuPortSetup, [&](TOptionDlg& dlg) {
    dlg.cmbPort[0]->setCurrentIndex(0);
    // Choosing an input device opens it at once, to play it in the dialog.
    dlg.cmbMidiInPort->setCurrentIndex(2);
    emit dlg.cmbMidiInPort->activated(2);
    EXPECT_TRUE(ports().InOpen[2]);
    dlg.ChoosePort = [](const QStringList&, int) { return 3; };
    dlg.btnOutPort->click();
    return false;
  });
  EXPECT_EQ(ports().PortMap[0], 1);
  EXPECT_EQ(ports().InPort, 0);
  EXPECT_FALSE(ports().InOpen[2]);
  EXPECT_EQ(ports().DefaultOutPort, 0);
  EXPECT_EQ(rig.song().OutPort[3], 2);
}

TEST_F(OptionDlgTest, OkKeepsOnlyTheSelectedInputOpenAndTheTracksWhenTheDefaultPortWasNotPicked) {
  ports().SelectInPort(1);
  rig.song().OutPort[3] = 2;
  rig.song().SongSaved = true;
  Run(rig.form->mnuPortSetup, [](TOptionDlg& dlg) {
    // Tried device 2, went back to device 1: only device 1 stays open.
    emit dlg.cmbMidiInPort->activated(2);
    dlg.cmbMidiInPort->setCurrentIndex(1);
    // An Escape in the chooser leaves the default port unpicked.
    dlg.ChoosePort = [](const QStringList&, int) { return -1; };
    dlg.btnOutPort->click();
    EXPECT_EQ(dlg.btnOutPort->text(), QStringLiteral("A: Test Synth"));
    return true;
  });
  EXPECT_TRUE(ports().InOpen[1]);
  EXPECT_FALSE(ports().InOpen[2]);
  EXPECT_EQ(rig.song().OutPort[3], 2);
  EXPECT_TRUE(rig.song().SongSaved);
}

TEST_F(OptionDlgTest, VelocityBoxesTakeNumbersWithinTheirRangesAndOneHundredForAnythingElse) {
  struct Case {
    const char* name;
    QLineEdit* TOptionDlg::*box;
    int InputFilterSettings::*value;
    const char* typed;
    int taken;
  } cases[] = {
      {"add: not a number", &TOptionDlg::edAdd, &InputFilterSettings::VeloAdd, "abc", 100},
      {"add: below the range", &TOptionDlg::edAdd, &InputFilterSettings::VeloAdd, "-200", -126},
      {"add: negative within", &TOptionDlg::edAdd, &InputFilterSettings::VeloAdd, "-5", -5},
      {"add: four characters at most", &TOptionDlg::edAdd, &InputFilterSettings::VeloAdd, "12345", 126},
      {"change: zero is the minimum", &TOptionDlg::edChange, &InputFilterSettings::VeloChange, "0", 1},
      {"change: the maximum", &TOptionDlg::edChange, &InputFilterSettings::VeloChange, "999", 999},
      {"change: empty", &TOptionDlg::edChange, &InputFilterSettings::VeloChange, "", 100},
      {"set: above 127", &TOptionDlg::edSet, &InputFilterSettings::VeloSet, "200", 127},
      {"set: blanks around", &TOptionDlg::edSet, &InputFilterSettings::VeloSet, " 7 ", 7},
      {"set: not a number", &TOptionDlg::edSet, &InputFilterSettings::VeloSet, "x1", 100},
  };
  Run(rig.form->mnuFilterSetup, [&](TOptionDlg& dlg) {
    EXPECT_EQ(dlg.edAdd->maxLength(), 4);
    EXPECT_EQ(dlg.edChange->maxLength(), 3);
    EXPECT_EQ(dlg.edSet->maxLength(), 3);
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      QLineEdit* box = dlg.*c.box;
      box->setText(QString::fromUtf8(c.typed));
      EXPECT_EQ(dlg.Values().Filter.*c.value, c.taken);  // also before the box is left
      Type(box, QString::fromUtf8(c.typed));
      EXPECT_EQ(box->text(), QString::number(c.taken));  // the box shows what is taken
    }
    return false;
  });
}

TEST_F(OptionDlgTest, ThruListAndPortButtonsNameTheDevicesAsChosenInTheDialog) {
  Run(rig.form->mnuPortSetup, [](TOptionDlg& dlg) {
    QStringList items;
    for (int i = 0; i < dlg.cmbThruPort->count(); ++i) items << dlg.cmbThruPort->itemText(i);
    EXPECT_EQ(items, (QStringList{"THRU Off", "DynamicTHRU", "A: Test Synth", "B: (Not in Use)", "C: (Not in Use)",
                                  "D: (Not in Use)"}));
    EXPECT_EQ(dlg.cmbMidiInPort->itemText(2), QStringLiteral("Pad In"));
    EXPECT_EQ(dlg.btnClickPort->text(), QStringLiteral("A: Test Synth"));
    dlg.cmbPort[0]->setCurrentIndex(2);
    dlg.cmbPort[3]->setCurrentIndex(1);
    EXPECT_EQ(dlg.cmbThruPort->itemText(2), QStringLiteral("A: Ext Out"));
    EXPECT_EQ(dlg.cmbThruPort->itemText(5), QStringLiteral("D: Test Synth"));
    EXPECT_EQ(dlg.btnClickPort->text(), QStringLiteral("A: Ext Out"));
    QStringList offered;
    dlg.ChoosePort = [&](const QStringList& rows, int) {
      offered = rows;
      return 3;
    };
    dlg.btnSyncPort->click();
    EXPECT_EQ(offered.value(3), QStringLiteral("D: Test Synth"));
    EXPECT_EQ(dlg.btnSyncPort->text(), QStringLiteral("D: Test Synth"));
    EXPECT_EQ(dlg.Values().SyncPort, 3);
    EXPECT_FALSE(dlg.Values().DefaultOutPortChosen);
    return false;
  });
}

TEST_F(OptionDlgTest, ClickNoteIsTypedOrChosenAndNamedAfterCentreC) {
  Run(rig.form->mnuEtcSetup, [](TOptionDlg& dlg) {
    EXPECT_EQ(dlg.edClickNote->text(), QStringLiteral("G# 2"));  // note 56
    struct Case {
      const char* typed;
      const char* shown;
    } typed[] = {{"60", "C  3"}, {"d4", "D  4"}, {"F#", "F# 4"}, {"zz", "F# 4"}, {"200", "G  8"}};
    for (const auto& c : typed) {
      SCOPED_TRACE(c.typed);
      Type(dlg.edClickNote, QString::fromUtf8(c.typed));
      EXPECT_EQ(dlg.edClickNote->text(), QString::fromUtf8(c.shown));
    }
    // The same note in another naming.
    dlg.edCenterC->setValue(-1);
    EXPECT_EQ(dlg.edClickNote->text(), QStringLiteral("G  7"));
    EXPECT_EQ(dlg.Values().ClickNote, 127);
    // The chooser gets the note as it stands and its answer is shown.
    int offered = -1;
    dlg.ChooseNote = [&](int& note) {
      offered = note;
      note = 36;
      return true;
    };
    dlg.btnClickNote->click();
    EXPECT_EQ(offered, 127);
    EXPECT_EQ(dlg.edClickNote->text(), QStringLiteral("C  0"));
    dlg.ChooseNote = [](int& note) {
      note = 99;
      return false;  // cancelled
    };
    dlg.btnClickNote->click();
    EXPECT_EQ(dlg.Values().ClickNote, 36);
    return false;
  });
}

TEST_F(OptionDlgTest, NoteChooserOfTheWindowHearsTheGuideClickPortChosenInTheDialog) {
  int port = -1;
  rig.form->OptionHooks.ChooseClickNote = [&](int& note, int clickPort) {
    port = clickPort;
    note = 42;
    return true;
  };
  Run(rig.form->mnuEtcSetup, [](TOptionDlg& dlg) {
    dlg.ChoosePort = [](const QStringList&, int) { return 2; };
    dlg.btnClickPort->click();
    dlg.btnClickNote->click();
    return true;
  });
  EXPECT_EQ(port, 2);
  EXPECT_EQ(rig.core->Engine().Options.ClickNote, 42);
}

TEST_F(OptionDlgTest, ValuesWhoseLiveCopyIsElsewhereAreReadFromThereAndKeptOnOk) {
  rig.form->OptionHooks.ReadCurrent = [](OptionValues& v) {
    v.Thru.ThruMode = 4;
    v.Thru.ActiveTrackThru = false;  // toggled on the track window, not in the dialog
  };
  Run(rig.form->mnuPortSetup, [](TOptionDlg& dlg) {
    EXPECT_EQ(dlg.cmbThruPort->currentText(), QStringLiteral("C: (Not in Use)"));
    return true;
  });
  ASSERT_TRUE(rig.Close());
  EXPECT_TRUE(Has(rig.Ini(), "Thru=4"));
  EXPECT_TRUE(Has(rig.Ini(), "goActiveTrackThru=0"));
}

// The real chooser, answered by keys and clicks while it is open.
// "演奏中はマウス禁止" is bit value 64 of the score option byte: kept in
// section Score, given to the open scores and to those opened later.
TEST_F(OptionDlgTest, TheScoreOptionReachesTheOpenScoresAndTheSettings) {
  TTrackForm* sheet = rig.form->TrackForm();
  ASSERT_NE(sheet, nullptr);
  sheet->Hooks.OpenScore(1);
  TScoreForm* open = sheet->findChild<TScoreForm*>();
  ASSERT_NE(open, nullptr);
  EXPECT_FALSE(open->NoMouseWhilePlaying);
  Run(rig.form->mnuEtcSetup, [](TOptionDlg& dlg) {
    EXPECT_FALSE(dlg.cbxScoreNoMouse->isChecked());
    dlg.cbxScoreNoMouse->setChecked(true);
    return true;
  });
  EXPECT_TRUE(open->NoMouseWhilePlaying);
  EXPECT_EQ(rig.form->Ini().ReadInteger("Score", "Options", 0), 64);
  sheet->Hooks.OpenScore(2);
  for (TScoreForm* s : sheet->findChildren<TScoreForm*>()) EXPECT_TRUE(s->NoMouseWhilePlaying) << s->Tag();
}

TEST(PortChooser, AnswersTheRowClickedOrEnteredAndMinusOneOnEscape) {
  EnsureApp();
  const QStringList rows{"A: Test Synth", "B: Ext Out", "C: (Not in Use)", "D: (Not in Use)"};
  struct Case {
    const char* name;
    std::function<void(TPortDlg&)> act;
    int chosen;
  } cases[] = {
      {"enter takes the current row", [](TPortDlg& d) { QTest::keyClick(d.lbxMidiDev, Qt::Key_Return); }, 1},
      {"a key moves the row",
       [](TPortDlg& d) {
         QTest::keyClick(d.lbxMidiDev, Qt::Key_Down);
         QTest::keyClick(d.lbxMidiDev, Qt::Key_Enter);
       },
       2},
      {"escape", [](TPortDlg& d) { QTest::keyClick(d.lbxMidiDev, Qt::Key_Escape); }, -1},
      {"a click",
       [](TPortDlg& d) {
         QRect r = d.lbxMidiDev->visualItemRect(d.lbxMidiDev->item(3));
         QTest::mouseClick(d.lbxMidiDev->viewport(), Qt::LeftButton, {}, r.center());
       },
       3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QPoint home(7, 9);
    QCursor::setPos(home);
    QPoint underPointer;
    QString title;
    QTimer::singleShot(0, [&] {
      auto* d = qobject_cast<TPortDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      title = d->windowTitle();
      underPointer = QCursor::pos();
      // The current row opens under the pointer.
      EXPECT_EQ(d->lbxMidiDev->itemAt(d->lbxMidiDev->viewport()->mapFromGlobal(underPointer)),
                d->lbxMidiDev->item(1));
      c.act(*d);
      if (d->isVisible()) d->reject();
    });
    EXPECT_EQ(TPortDlg::Choose(rows, 1, nullptr), c.chosen);
    EXPECT_EQ(title, QStringLiteral("Set OutPort"));
    EXPECT_EQ(QCursor::pos(), home);
  }
}

}  // namespace
}  // namespace melko::test
