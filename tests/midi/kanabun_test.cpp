// The computer keyboard as a piano, without windows: the key table, the note
// a key plays, the key rules of a component and the lock key.
#include "midi/kanabun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "midi/input_settings.h"
#include "relay_rig.h"

namespace melko::test {
namespace {

KanaKeyEvent Press(int scanCode, unsigned mods = 0, bool repeat = false) {
  return KanaKeyEvent{true, scanCode, KanaKey::kOther, mods, repeat};
}
KanaKeyEvent Release(int scanCode, unsigned mods = 0, bool repeat = false) {
  return KanaKeyEvent{false, scanCode, KanaKey::kOther, mods, repeat};
}
KanaKeyEvent Kind(KanaKey kind, bool press, unsigned mods = 0) { return KanaKeyEvent{press, -1, kind, mods, false}; }

// Scan codes of the standard layout.
constexpr int kZ = 0x2C, kX = 0x2D, kC = 0x2E, kV = 0x2F, kB = 0x30, kSlash = 0x35;
constexpr int kA = 0x1E, kD = 0x20, kF = 0x21, kH = 0x23;
constexpr int kQ = 0x10, kE = 0x12, k3 = 0x04, k4 = 0x05;

struct KeyRow {
  const char* name;
  int scanCode;
  int note;  // with octave 5 and no transpose; -1: no note key
};

TEST(KanabunTable, StandardLayoutWithDefaults) {
  const KeyNoteTableType lower = BuildKeyNoteTable(false);
  const KeyNoteTableType upper = BuildKeyNoteTable(true);
  const KeyRow rows[] = {
      {"C on the bottom row is middle C", kC, 60},
      {"Z two white keys below", kZ, 57},
      {"X is B", kX, 59},
      {"V is D", kV, 62},
      {"B is E", kB, 64},
      {"slash ends the row on the next C", kSlash, 72},
      {"ro, right of the bottom row", 0x73, 74},
      {"F over C-D is C sharp", kF, 61},
      {"D over B-C has no black key: the next white, C", kD, 60},
      {"H over E-F has none: F", kH, 65},
      {"A is G sharp below", kA, 56},
      {"key right of the home row is D sharp", 0x2B, 75},
      {"Ctrl", 0x1D, -1},
      {"space", 0x39, -1},
      {"past the table", 126, -1},
      {"no scan code", -1, -1},
  };
  for (const KeyRow& r : rows) {
    const int offset = KeyNoteOffset(lower, r.scanCode);
    EXPECT_EQ(offset < 0 ? -1 : KanabunNote(offset, 5, 0), r.note) << r.name;
    EXPECT_EQ(KeyNoteOffset(upper, r.scanCode), offset) << r.name << " (upper rows change nothing here)";
  }

  const KeyRow upperRows[] = {
      {"E on the top row is the C above", kE, 72},
      {"Q", kQ, 69},
      {"4 over C-D", k4, 73},
      {"3 over B-C: C", k3, 72},
      {"right bracket", 0x1B, 88},
      {"yen, right of the number row", 0x7D, 89},
  };
  for (const KeyRow& r : upperRows) {
    EXPECT_EQ(KeyNoteOffset(lower, r.scanCode), -1) << r.name << " is no note without the upper rows";
    const int offset = KeyNoteOffset(upper, r.scanCode);
    ASSERT_GE(offset, 0) << r.name;
    EXPECT_EQ(KanabunNote(offset, 5, 0), r.note) << r.name;
  }
}

TEST(KanabunTable, NotesFoldIntoRangeByOctaves) {
  EXPECT_EQ(KanabunNote(12, 10, 12), 120);  // 132
  EXPECT_EQ(KanabunNote(24, 10, 12), 120);  // 144, two octaves over
  EXPECT_EQ(KanabunNote(11, 10, 12), 119);
  EXPECT_EQ(KanabunNote(7, 10, 12), 127);   // exactly the top stays
  EXPECT_EQ(KanabunNote(9, 0, -12), 9);     // -15 comes up two octaves
  EXPECT_EQ(KanabunNote(0, 1, 0), 0);
}

TEST(KanabunTable, LinuxKeyCodesToPcScanCodes) {
  EXPECT_EQ(PcScanCodeFromLinuxKey(46), kC);
  EXPECT_EQ(PcScanCodeFromLinuxKey(1), 1);
  EXPECT_EQ(PcScanCodeFromLinuxKey(89), 0x73) << "ro";
  EXPECT_EQ(PcScanCodeFromLinuxKey(124), 0x7D) << "yen";
  EXPECT_EQ(PcScanCodeFromLinuxKey(115), -1) << "Volume Up is not the ro key";
  EXPECT_EQ(PcScanCodeFromLinuxKey(125), -1) << "the Windows key is not the yen key";
  EXPECT_EQ(PcScanCodeFromLinuxKey(97), -1) << "right Ctrl is extended";
  EXPECT_EQ(PcScanCodeFromLinuxKey(0), -1);
}

// A component with its events written down as "on 60", "off 60", "octave",
// "transpose", "toggle".
struct Played {
  RelayRig rig;
  TmKanabun k;
  std::vector<std::string> log;
  KeyNoteTableType table = BuildKeyNoteTable(false);
  Played() {
    k.Relay = &rig.relay;
    k.OnNoteOn = [this](int n) { log.push_back("on " + std::to_string(n)); };
    k.OnNoteOff = [this](int n) { log.push_back("off " + std::to_string(n)); };
    k.OnOctaveChange = [this] { log.push_back("octave"); };
    k.OnTransposeChange = [this] { log.push_back("transpose"); };
    k.OnToggleChanged = [this] { log.push_back("toggle"); };
  }
  bool Key(const KanaKeyEvent& e) { return k.HandleKey(e, table); }
};

TEST(Kanabun, HoldingAKeyDoesNotRetrigger) {
  Played p;
  EXPECT_TRUE(p.Key(Press(kC)));
  EXPECT_TRUE(p.Key(Press(kC, 0, true))) << "a repeat is consumed";
  EXPECT_TRUE(p.Key(Release(kC, 0, true))) << "so is the release X11 sends with a repeat";
  EXPECT_TRUE(p.Key(Press(kD))) << "another key on the same note";
  EXPECT_EQ(p.k.HeldNotes(), std::vector<int>{60});
  EXPECT_TRUE(p.Key(Release(kC)));
  EXPECT_TRUE(p.Key(Release(kD))) << "a key whose note ended already is still consumed";
  EXPECT_EQ(p.log, (std::vector<std::string>{"on 60", "off 60"}));
  EXPECT_EQ(p.rig.Notes(), (std::vector<std::string>{"+60", "-60"}));
}

TEST(Kanabun, OctaveAndTransposeKeys) {
  Played p;
  p.Key(Press(kC));
  EXPECT_TRUE(p.Key(Kind(KanaKey::kPageUp, true))) << "consumed even when refused";
  p.Key(Kind(KanaKey::kPageUp, false));
  p.Key(Kind(KanaKey::kPageDown, true, kKanaShift));
  EXPECT_EQ(p.k.Octave(), 5) << "no change while a note is held";
  EXPECT_EQ(p.k.Transpose(), 0);
  p.Key(Release(kC));
  EXPECT_EQ(p.rig.Notes(), (std::vector<std::string>{"+60", "-60"})) << "the note ends where it began";

  p.Key(Kind(KanaKey::kPageUp, true));
  p.Key(Kind(KanaKey::kPageDown, true, kKanaShift));
  EXPECT_EQ(p.k.Octave(), 6);
  EXPECT_EQ(p.k.Transpose(), -1);
  p.Key(Press(kC));
  EXPECT_EQ(p.k.HeldNotes(), std::vector<int>{71});
  p.Key(Release(kC));

  p.k.SetOctave(11);
  p.k.SetOctave(-1);
  p.k.SetTranspose(13);
  p.k.SetOctave(6);  // no change, no event
  EXPECT_EQ(p.k.Octave(), 6);
  EXPECT_EQ(p.k.Transpose(), -1);
  EXPECT_EQ(p.log, (std::vector<std::string>{"on 60", "off 60", "octave", "transpose", "on 71", "off 71"}));
}

TEST(Kanabun, TopOctaveWithTransposeFolds) {
  Played p;
  for (int i = 0; i < 8; ++i) p.Key(Kind(KanaKey::kPageUp, true));
  for (int i = 0; i < 14; ++i) p.Key(Kind(KanaKey::kPageUp, true, kKanaShift));
  EXPECT_EQ(p.k.Octave(), 10);
  EXPECT_EQ(p.k.Transpose(), 12);
  p.Key(Press(kC));
  p.Key(Press(kSlash));
  p.Key(Press(kX));
  EXPECT_EQ(p.k.HeldNotes(), (std::vector<int>{120, 119})) << "C and slash fold onto the same note";
}

TEST(Kanabun, ModifiersOfTheShiftMask) {
  Played p;
  EXPECT_FALSE(p.Key(Press(kC, kKanaCtrl))) << "Ctrl+C is the window's";
  EXPECT_FALSE(p.Key(Press(kC, kKanaAlt)));
  EXPECT_TRUE(p.k.HeldNotes().empty());
  EXPECT_TRUE(p.Key(Press(kC, kKanaShift))) << "Shift+C plays";
  EXPECT_TRUE(p.Key(Release(kC, kKanaCtrl))) << "Ctrl pressed meanwhile does not keep the note";
  EXPECT_TRUE(p.k.HeldNotes().empty());
  p.k.ShiftMask = kKanaShift;
  EXPECT_FALSE(p.Key(Press(kC, kKanaShift)));
  EXPECT_EQ(p.log, (std::vector<std::string>{"on 60", "off 60"}));
}

TEST(Kanabun, FiltersAndDisabledKeys) {
  Played p;
  p.k.Filters = 0;
  EXPECT_FALSE(p.Key(Press(kC))) << "played but passed on";
  EXPECT_FALSE(p.Key(Kind(KanaKey::kPageUp, true)));
  EXPECT_EQ(p.k.HeldNotes(), std::vector<int>{60});
  p.Key(Release(kC));
  p.Key(Kind(KanaKey::kPageUp, true));
  EXPECT_EQ(p.k.Octave(), 6);

  p.k.Filters = kfNoteNum;
  EXPECT_FALSE(p.Key(Kind(KanaKey::kPageUp, true)));
  EXPECT_TRUE(p.Key(Press(kC)));
  p.Key(Release(kC));

  p.k.Filters = kfNoteNum | kfTranspose;
  p.k.DisableTransposeByKey = true;
  EXPECT_FALSE(p.Key(Kind(KanaKey::kPageDown, true)));
  EXPECT_EQ(p.k.Octave(), 7);
}

TEST(Kanabun, ReleasingAllGoesFromTheLastToTheFirst) {
  Played p;
  p.Key(Press(kC));
  p.Key(Press(kV));
  p.Key(Press(kB));
  p.k.ReleaseAll();
  EXPECT_EQ(p.rig.Notes(), (std::vector<std::string>{"+60", "+62", "+64", "-64", "-62", "-60"}));
  EXPECT_TRUE(p.k.HeldNotes().empty());
  p.Key(Release(kV));
  EXPECT_EQ(p.rig.Notes().size(), 6u) << "a late key-up ends nothing more";

  p.Key(Press(kC));
  p.k.SetActive(false);
  EXPECT_TRUE(p.k.HeldNotes().empty()) << "switching the component off releases";
  EXPECT_FALSE(p.Key(Press(kC))) << "an inactive component passes keys";
  EXPECT_TRUE(p.k.HeldNotes().empty());
}

TEST(Kanabun, DestroyedComponentSilencesItsNotes) {
  RelayRig rig;
  {
    TmKanabun k;
    k.Relay = &rig.relay;
    k.NoteOn(60);
    k.NoteOn(64);
  }
  EXPECT_EQ(rig.Notes(), (std::vector<std::string>{"+60", "+64", "-64", "-60"}));
}

TEST(KanabunKeys, LockOffPassesKeys) {
  Played p;
  KanabunKeys keys;
  bool caps = false;
  keys.ReadLockState = [&](int type) -> std::optional<bool> {
    if (type != kLockCaps) return std::nullopt;
    return caps;
  };
  keys.RefreshInputOn(&p.k);
  EXPECT_FALSE(keys.HandleKey(Press(kC), &p.k));
  EXPECT_FALSE(keys.WouldConsume(Press(kC), &p.k));
  EXPECT_TRUE(p.k.HeldNotes().empty());

  caps = true;
  EXPECT_FALSE(keys.HandleKey(Kind(KanaKey::kCapsLock, true), &p.k));
  EXPECT_FALSE(keys.InputOn()) << "read back on the release";
  EXPECT_FALSE(keys.HandleKey(Kind(KanaKey::kCapsLock, false), &p.k)) << "the lock key is never taken";
  EXPECT_TRUE(keys.InputOn());
  EXPECT_TRUE(keys.WouldConsume(Press(kC), &p.k));
  EXPECT_TRUE(keys.HandleKey(Press(kC), &p.k));
  EXPECT_FALSE(keys.HandleKey(Press(kV), nullptr)) << "no component for the active window";

  caps = false;
  keys.HandleKey(Kind(KanaKey::kCapsLock, true), &p.k);
  keys.HandleKey(Kind(KanaKey::kCapsLock, false), &p.k);
  EXPECT_EQ(p.log, (std::vector<std::string>{"toggle", "on 60", "off 60", "toggle"}))
      << "switching off releases the held note before telling the window";
  EXPECT_FALSE(keys.HandleKey(Release(kC), &p.k));
}

TEST(KanabunKeys, FollowsTheLockKeyWhenItCannotBeRead) {
  Played p;
  KanabunKeys keys;
  keys.ReadLockState = [](int) { return std::nullopt; };
  keys.SetToggleType(2);
  EXPECT_EQ(keys.ToggleType(), 2);
  keys.HandleKey(Kind(KanaKey::kCapsLock, true), &p.k);
  keys.HandleKey(Kind(KanaKey::kCapsLock, false), &p.k);
  EXPECT_FALSE(keys.InputOn()) << "Caps Lock is not the chosen key";
  keys.HandleKey(Kind(KanaKey::kScrollLock, true), &p.k);
  keys.HandleKey(Kind(KanaKey::kScrollLock, false), &p.k);
  EXPECT_TRUE(keys.InputOn());
  keys.HandleKey(Kind(KanaKey::kScrollLock, true), &p.k);
  keys.HandleKey(Kind(KanaKey::kScrollLock, false), &p.k);
  EXPECT_FALSE(keys.InputOn());
  keys.SetToggleType(7);
  EXPECT_EQ(keys.ToggleType(), 2) << "refused";
}

TEST(KanabunKeys, UpperRowsFollowTheSetting) {
  Played p;
  KanabunKeys keys;
  keys.SetInputOn(true, nullptr);
  EXPECT_FALSE(keys.HandleKey(Press(kE), &p.k));
  keys.SetUpperEnabled(true);
  EXPECT_TRUE(keys.HandleKey(Press(kE), &p.k));
  EXPECT_EQ(p.k.HeldNotes(), std::vector<int>{72});
}

}  // namespace
}  // namespace melko::test
