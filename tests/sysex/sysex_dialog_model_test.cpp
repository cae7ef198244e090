// The SysEx dialog's model: what the fields show for known and unknown
// bodies, typed values and whole messages, errors that keep the body, the
// table, the value box, the variable fields, named messages, opening and OK,
// and the group tree with its listing.
#include <gtest/gtest.h>

#include "base/atomic_write.h"
#include "sysex/sysex_dialog_model.h"
#include "sysex/sysex_group_tree.h"
#include "sysex/sysex_test_util.h"

namespace melko {
namespace {

using Strings = std::vector<std::string>;

const TSysExTableTexts kTables = {
    "[Switch]\n0=Off\n1=On\n",
    "[Offset64]\nRange=1 00 7F 40\n[Text]\nRange=4 0 0 0\n",
    "[Signed]\nRange=Offset64\nUnits=st\n[OnOff]\nTable=Switch\n[Name]\nRange=Text\nFunc=Display_ASCII\n",
    "[dd]\nName=Device ID\nFormat=%x\n[0n]\nName=Channel\n[ll]\nName=LSB\nFormat=dec\n",
    "[GS]\nData=41 dd 42 12\nDefDevID=10\nBgnCheckSum=5\n[XG]\nData=43 1n 4C\nDefDevID=0\n"
    "[GM]\nData=7F dd\nDefDevID=7F\n",
    "[Key Shift]\nModel=GS\nAddress=40 00 05\nType=Signed\nGroup=GS\\System\n"
    "[Part 1 Rx]\nModel=GS\nAddress=40 11 02\nType=OnOff\nDefault=1\nGroup=GS\\Part 1\n"
    "[Part 10 Rx]\nModel=GS\nAddress=40 1A 02\nType=OnOff\nGroup=GS\\Part 10\n"
    "[Patch Name]\nModel=GS\nAddress=40 01 00\nType=Name\nGroup=GS\\System\n"
    "[Part Map]\nModel=GS\nAddress=40 2n 15\nGroup=GS\\Part\n"
    "[XG On]\nModel=XG\nAddress=00 00 7E\nGroup=XG\n"
    "[Volume]\nModel=GM\nAddress=04 01 ll\nDefault=127\nGroup=GM\n"};

class SysExDialogModelTest : public ::testing::Test {
 protected:
  SysExDialogModelTest() { EXPECT_TRUE(nodes.LoadTexts(kTables)) << nodes.LoadError(); }
  TSysExParamNodes nodes;
  TSysExDialogModel model{nodes};
};

TEST_F(SysExDialogModelTest, BodyOfNoParameterShowsHexAndTheFieldsFoundOnTheWay) {
  // A GS header with an address the tables do not know.
  ASSERT_EQ(model.Open("F0 41 10 42 12 40 7F 7F 00 42 F7"), 0);
  const TSysExDialogView& v = model.View();
  EXPECT_FALSE(v.Recognised);
  EXPECT_EQ(v.ValueText, "");
  EXPECT_EQ(v.ParamName, "");
  EXPECT_FALSE(v.TableEnabled);
  EXPECT_FALSE(v.ValueEnabled);
  EXPECT_EQ(v.HexText, "F0 41 10 42 12 40 7F 7F 00 42 F7");
  EXPECT_TRUE(model.TableEntries().empty());
  ASSERT_TRUE(v.Extras[0].Enabled);
  EXPECT_EQ(v.Extras[0].Label, "Device ID");
  EXPECT_EQ(v.Extras[0].Tag, 1);
  EXPECT_EQ(v.Extras[0].Max, 0x7F);
  EXPECT_EQ(v.Extras[0].Value, 0x10);
  EXPECT_FALSE(v.Extras[1].Enabled);
  EXPECT_FALSE(v.Extras[2].Enabled);

  // Its device number can still be set.
  model.SetExtras({0x11, 0, 0});
  EXPECT_EQ(model.View().HexText, "F0 41 11 42 12 40 7F 7F 00 42 F7");
}

TEST_F(SysExDialogModelTest, KnownParameterFillsEveryField) {
  ASSERT_EQ(model.PickParam("Key Shift"), 0);
  const TSysExDialogView& v = model.View();
  EXPECT_TRUE(v.Recognised);
  EXPECT_EQ(v.ParamName, "Key Shift");
  EXPECT_EQ(v.ValueText, "0 st");
  EXPECT_TRUE(v.TableEnabled);
  EXPECT_TRUE(v.ValueEnabled);
  EXPECT_EQ(v.ValueMin, -64);
  EXPECT_EQ(v.ValueMax, 63);
  EXPECT_EQ(v.Value, 0);
  EXPECT_NE(v.ValueGetText, nullptr);
  EXPECT_EQ(v.HexText, "F0 41 10 42 12 40 00 05 40 7B F7");
}

TEST_F(SysExDialogModelTest, ValueTypedIntoTheHexBoxSetsTheKnownParameter) {
  ASSERT_EQ(model.PickParam("Key Shift"), 0);
  ASSERT_EQ(model.ApplyHexText("5"), 0);
  EXPECT_EQ(model.View().ValueText, "+5 st");
  EXPECT_EQ(model.View().Value, 5);
  EXPECT_EQ(model.View().HexText, "F0 41 10 42 12 40 00 05 45 76 F7");  // checksum follows
  ASSERT_EQ(model.ApplyHexText("100"), 0);                               // clamped to the range
  EXPECT_EQ(model.View().Value, 63);
}

TEST_F(SysExDialogModelTest, ErrorsKeepTheLastAcceptedBody) {
  struct Row {
    const char* name;
    const char* start;  // "" for no message yet
    const char* typed;
    int code;
  };
  const Row rows[] = {
      {"value for an unknown body", "F0 41 10 42 12 40 7F 7F 00 42 F7", "5", 1},
      {"value with no body at all", "", "5", 1},
      {"byte above 7F", "F0 41 10 42 12 40 00 05 45 76 F7", "F0 41 80 F7", 2},
      {"not hexadecimal", "F0 41 10 42 12 40 00 05 45 76 F7", "F0 41 GG F7", 2},
      {"text parameter given Japanese", "F0 41 10 42 12 40 01 00 54 65 78 74 1A F7", "\xE3\x81\x82", 4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TSysExDialogModel m(nodes);
    ASSERT_EQ(m.Open(row.start), 0);
    const std::vector<uint8_t> before = m.Body();
    EXPECT_EQ(m.ApplyHexText(row.typed), row.code);
    EXPECT_EQ(m.Body(), before);
    EXPECT_EQ(m.View().HexText, row.start);  // the box shows the unchanged body again
  }
  EXPECT_EQ(TSysExParamNodes::ErrorText(1), "SysExは F0 で始め、 F7 で終了しなければいけません！");
}

TEST_F(SysExDialogModelTest, TooLongAMessageIsRefused) {
  std::string text = "F0";
  for (int i = 0; i < 512; ++i) text += " 01";
  ASSERT_EQ(model.ApplyHexText(text), 0);
  EXPECT_EQ(model.Body().size(), 513u);
  EXPECT_EQ(model.ApplyHexText(text + " 02"), 3);
  EXPECT_EQ(model.Body().size(), 513u);
}

TEST_F(SysExDialogModelTest, TableEntriesAndTheValueBox) {
  ASSERT_EQ(model.PickParam("Part 1 Rx"), 0);
  EXPECT_EQ(model.View().ValueText, "On (001)");
  ASSERT_EQ(model.TableEntries().size(), 2u);
  EXPECT_EQ(model.TableEntries()[0].Text, "Off");

  std::string boxText;
  ASSERT_EQ(model.ChooseTableEntry(0, &boxText), 0);
  EXPECT_EQ(boxText, "0");
  EXPECT_EQ(model.View().ValueText, "Off (000)");
  EXPECT_EQ(model.ChooseTableEntry(5), 0);  // no such entry: nothing happens
  EXPECT_EQ(model.View().ValueText, "Off (000)");

  ASSERT_EQ(model.PickParam("Key Shift"), 0);
  EXPECT_TRUE(model.TableEntries().empty());  // the new parameter has no table
  ASSERT_EQ(model.SetValue(-3), 0);
  EXPECT_EQ(model.View().ValueText, "-3 st");
  EXPECT_EQ(model.View().Value, -3);
}

TEST_F(SysExDialogModelTest, TextParameterHasNoValueBox) {
  ASSERT_EQ(model.PickParam("Patch Name"), 0);
  EXPECT_EQ(model.View().ValueText, "Text");
  EXPECT_TRUE(model.View().TableEnabled);
  EXPECT_FALSE(model.View().ValueEnabled);
  ASSERT_EQ(model.ApplyHexText("Pno"), 0);
  EXPECT_EQ(model.View().ValueText, "Pno");
}

TEST_F(SysExDialogModelTest, VariableFields) {
  // A hexadecimal device number and a decimal channel nibble inside the
  // summed bytes: the checksum follows the channel.
  ASSERT_EQ(model.PickParam("Part Map"), 0);
  const TSysExDialogView& v = model.View();
  ASSERT_TRUE(v.Recognised);
  ASSERT_TRUE(v.Extras[1].Enabled);
  EXPECT_EQ(v.Extras[1].Label, "Channel");
  EXPECT_EQ(v.Extras[1].Tag, 0);
  EXPECT_EQ(v.Extras[1].Max, 0x0F);
  EXPECT_EQ(v.HexText, "F0 41 10 42 12 40 20 15 00 0B F7");
  model.SetExtras({0x10, 3, 0});
  EXPECT_EQ(model.View().HexText, "F0 41 10 42 12 40 23 15 00 08 F7");
  EXPECT_EQ(model.View().Extras[1].Value, 3);

  // A format other than %d and %x.
  ASSERT_EQ(model.PickParam("Volume"), 0);
  EXPECT_EQ(model.View().Extras[0].Tag, 1);
  EXPECT_EQ(model.View().Extras[1].Tag, -1);
  EXPECT_EQ(model.View().Extras[1].Label, "LSB");
}

TEST_F(SysExDialogModelTest, NamedMessagesOpeningAndOk) {
  const TSysExNamedMessages named = ParseSysExNames("XG System On:f0 43 10 4c 00 00 7e 00 f7\nRaw:F0 01 02\n");
  ASSERT_EQ(model.ChooseNamedMessage(named, 0), 0);
  EXPECT_EQ(model.View().ParamName, "XG On");
  EXPECT_EQ(model.View().HexText, "F0 43 10 4C 00 00 7E 00 F7");
  ASSERT_EQ(model.ChooseNamedMessage(named, 1), 0);
  EXPECT_EQ(model.View().ParamName, "");
  EXPECT_EQ(model.View().HexText, "F0 01 02 F7");

  TSysExDialogModel empty(nodes);
  EXPECT_EQ(empty.Open(""), 0);
  EXPECT_EQ(empty.View().HexText, "");
  std::string result = "stale";
  EXPECT_EQ(empty.Ok("", result), 1);  // nothing to hand back
  EXPECT_EQ(result, "");

  std::string out;
  EXPECT_EQ(SysExDialogOk(nodes, "F0 41 10 42 12 40 00 05 40 7B F7", "-2", out), 0);
  EXPECT_EQ(out, "F0 41 10 42 12 40 00 05 3E 7D F7");
  EXPECT_EQ(SysExDialogOk(nodes, "f0 41 10 42 12 ss 40 00 7f 00 f7", out), 0);
  EXPECT_EQ(out, "F0 41 10 42 12 40 00 7F 00 41 F7");
  EXPECT_EQ(SysExDialogOk(nodes, "F0 41 10 42 12 40 00 05 40 7B F7", "F0 99 F7", out), 2);
  EXPECT_EQ(out, "F0 41 10 42 12 40 00 05 40 7B F7");  // the last accepted body
}

TEST(SysExGroupTree, PartsMakeLevelsAndAreShared) {
  const auto tree = BuildSysExGroupTree({"GS\\Part", "GS\\System", "XG", "GS\\Part\\Fx", "GM\\\\Odd\\"});
  ASSERT_EQ(tree[0].Text, "All");
  ASSERT_EQ(tree[0].Children.size(), 3u);
  const TSysExGroupNode& gs = tree[static_cast<size_t>(tree[0].Children[0])];
  EXPECT_EQ(gs.Text, "GS");
  ASSERT_EQ(gs.Children.size(), 2u);
  const int part = gs.Children[0];
  EXPECT_EQ(tree[static_cast<size_t>(part)].Text, "Part");
  EXPECT_EQ(tree[static_cast<size_t>(gs.Children[1])].Text, "System");
  ASSERT_EQ(tree[static_cast<size_t>(part)].Children.size(), 1u);
  EXPECT_EQ(SysExGroupPath(tree, tree[static_cast<size_t>(part)].Children[0]), "GS\\Part\\Fx");
  EXPECT_EQ(SysExGroupPath(tree, part), "GS\\Part");
  EXPECT_EQ(SysExGroupPath(tree, 0), "");
  const TSysExGroupNode& gm = tree[static_cast<size_t>(tree[0].Children[2])];
  ASSERT_EQ(gm.Children.size(), 1u);  // empty parts make no level
  EXPECT_EQ(tree[static_cast<size_t>(gm.Children[0])].Text, "Odd");
}

TEST_F(SysExDialogModelTest, ListingAGroupTakesWholeParts) {
  EXPECT_EQ(ListSysExGroup(nodes, ""), nodes.GetParamNames(""));
  EXPECT_EQ(ListSysExGroup(nodes, "GS"), (Strings{"Key Shift", "Part 1 Rx", "Part 10 Rx", "Patch Name", "Part Map"}));
  EXPECT_EQ(ListSysExGroup(nodes, "GS\\Part 1"), (Strings{"Part 1 Rx"}));
  EXPECT_EQ(ListSysExGroup(nodes, "GS\\Part"), (Strings{"Part Map"}));
  EXPECT_EQ(ListSysExGroup(nodes, "G"), Strings{});
}

TEST(SysExDialogShipped, GsPartParameterAndNamedMessages) {
  TSysExParamNodes nodes(MELKO_SHIPPED_SYSEX_DIR);
  TSysExDialogModel model(nodes);
  ASSERT_EQ(model.PickParam("GS Part 1 Rx Channel"), 0);
  EXPECT_TRUE(model.View().Recognised);
  EXPECT_EQ(model.View().Extras[0].Label, "Device ID");

  const auto tree = BuildSysExGroupTree(nodes.GetGroupNames());
  int gs = -1;
  for (int c : tree[0].Children)
    if (tree[static_cast<size_t>(c)].Text == "GS") gs = c;
  ASSERT_GE(gs, 0);
  EXPECT_GE(tree[static_cast<size_t>(gs)].Children.size(), 20u);  // System, effects, 16 parts
  EXPECT_EQ(ListSysExGroup(nodes, "GS\\Part 1").size(), ListSysExGroup(nodes, "GS\\Part 16").size());

  // Every shipped named message is taken, and the GS and XG ones are known parameters.
  std::string text;
  ASSERT_TRUE(ReadWholeFile(std::string(MELKO_SHIPPED_SYSEX_DIR) + "../SYSEX.TXT", text));
  TSysExNamesReport report;
  const TSysExNamedMessages named = ParseSysExNames(text, &report);
  EXPECT_EQ(report.Skipped, 0);
  ASSERT_GE(named.Names.size(), 5u);
  for (size_t i = 0; i < named.Names.size(); ++i) {
    SCOPED_TRACE(named.Names[i]);
    EXPECT_EQ(model.ChooseNamedMessage(named, static_cast<int>(i)), 0);
    if (named.Names[i] == "GS Reset" || named.Names[i] == "XG System On" || named.Names[i] == "GM System On") {
      EXPECT_TRUE(model.View().Recognised);
    }
  }
}

}  // namespace
}  // namespace melko
