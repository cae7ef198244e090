// The event list window under the offscreen platform: keys in the grid,
// in-cell editing, the SysEx hook, the filter dialog, refreshing from the
// song's notices and the settings keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "base/ini_file.h"
#include "edit/edit_dispatcher.h"
#include "edit/ui/event_form.h"
#include "edit/ui/event_list_dialogs.h"
#include "song/track_ops.h"

#include "qt_app.h"

namespace melko {
namespace {

using test::App;

class NoUi : public EditUi {
 public:
  bool OpenToolDialog(int, ToolSettings&) override { return false; }
  bool OpenSetDialog(int, SetPositionValues&) override { return false; }
  void ShowMessage(const std::string&) override {}
};

void Put(Song& song, int t, std::vector<TMidiEvent> events) {
  TMidiData& d = song.Tracks[size_t(t)];
  d.Free();
  d.Touch();
  uint32_t last = 0;
  for (TMidiEvent& e : events) EncodeEvent(d, e, last, 0, song.MaxGate());
}

TMidiEvent Note(uint32_t tick, uint8_t note) {
  TMidiEvent e;
  e.Time = tick;
  e.Status = 0x90;
  e.Data1 = note;
  e.Data2 = 100;
  e.Value = 120;
  return e;
}

std::vector<uint32_t> Ticks(const TMidiData& d) {
  std::vector<uint32_t> out;
  for (TrackWalker w(d); !w.AtEnd(); w.Advance()) out.push_back(w.NextTick());
  return out;
}

class EventFormTest : public ::testing::Test {
 protected:
  EventFormTest() : d(song, ui) { App(); }
  void SetUp() override {
    Put(song, 1, {Note(0, 60), Note(480, 62)});
    form = std::make_unique<TEventForm>(song, d, tables, 1);
    form->ShowTrack(1);
    form->resize(500, 300);
    form->show();
    form->Grid()->setFocus();
    QApplication::processEvents();
  }
  void TearDown() override { form.reset(); }
  Song song;
  NoUi ui;
  EditDispatcher d{song, ui};
  EditNameTables tables;
  std::unique_ptr<TEventForm> form;
};

TEST_F(EventFormTest, KeysAddRemoveAndPutBackRows) {
  TEventGrid* g = form->Grid();
  form->Editor().Step = 240;
  QTest::keyClick(g, Qt::Key_Down);
  QTest::keyClick(g, Qt::Key_Down);  // a new row after the last
  EXPECT_TRUE(form->Editor().NewRowPending());
  QTest::keyClick(g, Qt::Key_Up);  // unchanged: gone again
  EXPECT_EQ(form->Editor().Model().RowCount(), 2u);
  QTest::keyClick(g, Qt::Key_Delete);
  EXPECT_EQ(Ticks(song.Tracks[1]), (std::vector<uint32_t>{0}));
  QTest::keyClick(g, Qt::Key_Insert);
  EXPECT_EQ(Ticks(song.Tracks[1]), (std::vector<uint32_t>{0, 480}));
}

TEST_F(EventFormTest, TypingIntoACellCommitsWhenTheRowIsLeft) {
  TEventGrid* g = form->Grid();
  form->Editor().Column = 3;
  QTest::keyClicks(g, "5");  // opens the cell editor with the typed character
  ASSERT_TRUE(g->Editing());
  QTest::keyClicks(QApplication::focusWidget(), "5");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  EXPECT_FALSE(g->Editing());
  TrackWalker w(song.Tracks[1]);
  EXPECT_EQ(w.Next().Data2, 55);
  EXPECT_EQ(form->Editor().Row(), 1);
}

TEST_F(EventFormTest, TheSysExCellGoesThroughTheHook) {
  const std::string body("\x7E\x7F\x09\x01\xF7", 5);
  TMidiEvent sx;
  sx.Status = 0xF0;
  sx.Len = uint32_t(body.size());
  sx.Data = reinterpret_cast<const uint8_t*>(body.data());
  Put(song, 2, {sx});
  song.TrackDataChanged(2);
  form->ShowTrack(2);
  std::string seen;
  form->Hooks.EditSysEx = [&](const std::string& hex) -> std::optional<std::string> {
    seen = hex;
    return std::string("F0 7E 7F 09 02 F7");
  };
  form->Editor().Column = 4;
  form->Grid()->BeginEdit();
  EXPECT_EQ(seen, "F0 7E 7F 09 01 F7");
  TrackWalker w(song.Tracks[2]);
  EXPECT_EQ(w.Next().Data[3], 0x02);
  // Cancelled: nothing changes.
  form->Hooks.EditSysEx = [](const std::string&) { return std::optional<std::string>(); };
  form->Grid()->BeginEdit();
  EXPECT_EQ(TrackWalker(song.Tracks[2]).Next().Data[3], 0x02);
}

TEST_F(EventFormTest, NotesFromInputAndFollowingPlayback) {
  EXPECT_FALSE(form->NoteInput(64, 90));  // MIDI button up
  form->sbtByMidi->setChecked(true);
  EXPECT_TRUE(form->NoteInput(64, 90));
  EXPECT_EQ(TrackWalker(song.Tracks[1]).Next().Data1, 64);
  EXPECT_EQ(form->Editor().Row(), 1);
  form->sbtSync->setChecked(true);
  form->FollowPlayback(100);
  EXPECT_EQ(form->Editor().Row(), 0);
  form->FollowPlayback(500);
  EXPECT_EQ(form->Editor().Row(), 1);
}

TEST_F(EventFormTest, AnEditElsewhereReloadsTheList) {
  Put(song, 1, {Note(0, 60), Note(480, 62), Note(960, 64)});
  song.TrackDataChanged(1);
  QApplication::processEvents();
  EXPECT_EQ(form->Editor().Model().RowCount(), 3u);
}

TEST_F(EventFormTest, FilterDialogAndSettingsKeys) {
  TEventFilterDlg dlg(form->Editor().Model().Filter, tables.Control, tables.Meta);
  dlg.Kinds[0]->setChecked(false);
  EXPECT_EQ(dlg.Result().Bits, 254);
  IniFile ini;
  ini.WriteString("List1", "Filter", "$FE");
  ini.WriteInteger("List", "Settings", 2);
  ini.WriteInteger("List1", "Left", -50);
  form->LoadSettings(ini);
  EXPECT_EQ(form->Editor().Model().Filter.Bits, 254);
  EXPECT_EQ(form->Editor().Model().RowCount(), 0u);
  EXPECT_EQ(form->Editor().Context.Settings, 2);
  EXPECT_GE(form->geometry().x(), 0);
  IniFile out;
  form->SaveSettings(out);
  EXPECT_EQ(out.ReadInteger("List1", "Filter", 0), 254);
  EXPECT_EQ(out.ReadInteger("List", "ControlFontColor", 0), 0xFF0000);
  form->popFilterClearClick();
  EXPECT_EQ(form->Editor().Model().RowCount(), 2u);
}

}  // namespace
}  // namespace melko
