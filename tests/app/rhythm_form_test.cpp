// The rhythm pattern editor through its real window, offscreen: clicks in the
// grid write the velocity levels, the drum set's patch goes out on selection,
// play loops on its own timer and takes edits at once, the pattern list asks
// its questions, and a file saved is read back.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "app_rig.h"
#include "edit/ui/edit_controller.h"
#include "views/ui/rhythm_form.h"
#include "views/ui/rhythm_grid.h"

namespace melko::test {
namespace {

class RhythmFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.Start();
    WriteFile(rig.DataDir + "INST/GM.DRM",
              "[InstInfo]\r\nName=GM Drums\r\n\r\n[Standard Kit]\r\nBankMSB=0\r\nBankLSB=0\r\nProgram=1\r\n"
              "036=Bass Drum 1\r\n\r\n[Room Kit]\r\nBankMSB=0\r\nBankLSB=128\r\nProgram=9\r\n036=Room Kick\r\n");
    insts = std::make_unique<TmInstruments>(rig.DataDir + "INST");
    TimerFactory timers = [this] {
      auto t = std::make_unique<ManualTimer>();
      timer = t.get();
      return t;
    };
    form = std::make_unique<TRymPtEditForm>(rig.song(), rig.form->findChild<TEditController*>()->Dispatcher(),
                                            *insts, &rig.core->Relay(), &rig.core->Ports(), *rig.Clock, timers,
                                            rig.DataDir);
    form->Hooks.AskYesNo = [this](const std::string& q) { return rig.prompt.AskYesNo(q); };
    form->Hooks.InputText = [this](const std::string& caption, const std::string& prompt, std::string& text) {
      rig.prompt.Questions.push_back(caption + "/" + prompt);
      text = "Renamed";
      return true;
    };
    form->show();
    QApplication::processEvents();
    rig.Backend->Clear();
  }
  // The centre of the cell of step and note (the grid opens with note 35 on top).
  QPoint Cell(int step, int note) {
    return {TRhythmGrid::kNameWidth + step * TRhythmGrid::kCellWidth + 8,
            TRhythmGrid::kHeaderHeight + (note - 35) * TRhythmGrid::kRowHeight + 8};
  }
  void Click(int step, int note, Qt::MouseButton b = Qt::LeftButton) {
    QTest::mouseClick(form->Grid->viewport(), b, {}, Cell(step, note));
  }
  std::vector<std::vector<uint8_t>> Sent() {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& m : rig.Backend->Snapshot()) out.push_back(m.Bytes);
    return out;
  }
  AppRig rig;
  std::unique_ptr<TmInstruments> insts;
  ManualTimer* timer = nullptr;
  std::unique_ptr<TRymPtEditForm> form;
};

TEST_F(RhythmFormTest, ClicksWriteTheChosenLevelAndRightClicksEmpty) {
  EXPECT_EQ(form->objectName(), QStringLiteral("RhythmPatternEditor"));
  Click(0, 36);
  EXPECT_EQ(form->Pattern.Cell(0, 36), 112);  // ff, the level chosen at the start
  form->findChild<QPushButton*>(QStringLiteral("btnfff"))->click();
  Click(2, 38);
  EXPECT_EQ(form->Pattern.Cell(2, 38), 127);
  Click(0, 36, Qt::RightButton);
  EXPECT_EQ(form->Pattern.Cell(0, 36), 0);
  EXPECT_EQ(form->Pattern.CellCount(), 1);
}

TEST_F(RhythmFormTest, DrumSetPatchSentOnSelection) {
  // The second set: its LSB of 128 is not sent.
  form->Pattern.PatternInstrument = "GM";
  form->Pattern.PatternDrumSet = 1;
  form->SelectDrumSet();
  EXPECT_EQ(Sent(), (std::vector<std::vector<uint8_t>>{{0xB9, 0x00, 0x00}, {0xC9, 0x08}}));
  EXPECT_EQ(form->Grid->RowNames[36], "Room Kick");
  // A set beyond the definition's: its first set.
  rig.Backend->Clear();
  form->Pattern.PatternDrumSet = 7;
  form->SelectDrumSet();
  EXPECT_EQ(Sent(), (std::vector<std::vector<uint8_t>>{{0xB9, 0x00, 0x00}, {0xB9, 0x20, 0x00}, {0xC9, 0x00}}));
  EXPECT_EQ(form->Grid->RowNames[36], "Bass Drum 1");
}

TEST_F(RhythmFormTest, PlayLoopsAndTakesAnEditAtOnce) {
  Click(0, 36);
  form->btnPlay->click();
  ASSERT_TRUE(form->Playing());
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(Sent(), (std::vector<std::vector<uint8_t>>{{0x99, 36, 112}, {0x99, 36, 0}}));
  rig.Backend->Clear();
  Click(1, 38);  // an edit while playing: step 1 is 125 ms away at 120 bpm
  for (int ms = 0; ms < 130; ++ms) {
    rig.Clock->Advance(1);
    timer->Fire();
  }
  EXPECT_EQ(Sent(), (std::vector<std::vector<uint8_t>>{{0x99, 38, 112}, {0x99, 38, 0}}));
  form->btnPlay->click();
  EXPECT_FALSE(form->Playing());
}

TEST_F(RhythmFormTest, PatternListQuestionsAndTheFile) {
  Click(0, 36);
  rig.prompt.YesNo = {true};  // copy the previous pattern
  form->findChild<QPushButton*>(QStringLiteral("btnAdd"))->click();
  ASSERT_EQ(form->List.Count(), 2);
  EXPECT_EQ(form->Index, 1);
  EXPECT_EQ(form->Pattern.Cell(0, 36), 112);
  form->findChild<QPushButton*>(QStringLiteral("btnRename"))->click();
  EXPECT_EQ(form->List.Patterns[1].Name, "Renamed");
  Click(3, 40);
  const std::string path = rig.DataDir + "beat.rym";
  ASSERT_TRUE(form->SaveFile(path));
  EXPECT_EQ(form->windowTitle(), QStringLiteral("RhythmPattern - beat.rym"));
  rig.prompt.YesNo = {true};
  form->findChild<QPushButton*>(QStringLiteral("btnDelete"))->click();
  EXPECT_EQ(form->List.Count(), 1);
  ASSERT_TRUE(form->OpenFile(path, 1));
  EXPECT_EQ(form->List.Count(), 2);
  EXPECT_EQ(form->Pattern.Cell(3, 40), 112);
  EXPECT_EQ(form->lblIndex->text(), QStringLiteral("2:"));
  EXPECT_EQ(form->edPatternName->text(), QStringLiteral("Renamed"));
  const std::vector<std::string> asked = {"パターンを追加します。前のパターンをコピーしますか？",
                                          "名前の変更/名前を入力して下さい",
                                          "Pattern 02 ～ 02 を削除します。よろしいですか？"};
  EXPECT_EQ(rig.prompt.Questions, asked);
  form->Export();
  EXPECT_EQ(rig.song().ClipLength, 3840u);
}

}  // namespace
}  // namespace melko::test
