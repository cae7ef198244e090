// Fuzz harness of the SYSEX.TXT reader: any bytes as the file's text. Every
// entry it keeps must be a message the dialog accepts, and choosing it in the
// dialog's model must work on a small sample of tables.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sysex/sysex_dialog_model.h"
#include "sysex/sysex_named_messages.h"

namespace {

const melko::TSysExTableTexts kSample = {
    "[Switch]\n0=Off\n1=On\n", "[Offset64]\nRange=1 00 7F 40\n",
    "[Signed]\nRange=Offset64\nUnits=st\n[OnOff]\nTable=Switch\n", "[dd]\nName=Device ID\nFormat=%x\n",
    "[GS]\nData=41 dd 42 12\nDefDevID=10\nBgnCheckSum=5\n",
    "[Shift]\nModel=GS\nAddress=40 00 05\nType=Signed\n[Rx]\nModel=GS\nAddress=40 11 02\nType=OnOff\n"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static melko::TSysExParamNodes nodes;
  static const bool loaded = nodes.LoadTexts(kSample);
  (void)loaded;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  melko::TSysExNamesReport report;
  const melko::TSysExNamedMessages named = melko::ParseSysExNames(text, &report);
  if (named.Names.size() != named.HexTexts.size() || named.Names.size() > melko::kMaxNamedMessages) std::abort();
  melko::TSysExDialogModel model(nodes);
  for (size_t i = 0; i < named.Names.size() && i < 64; ++i) {
    if (named.Names[i].empty() || !melko::IsSysExMessageText(named.HexTexts[i])) std::abort();
    if (model.ChooseNamedMessage(named, static_cast<int>(i)) != 0) std::abort();
    model.SetExtras({0x11, 0, 0});
    model.SetValue(5);
  }
  // The text as a typed value or message too.
  model.ApplyHexText(text);
  std::string result;
  melko::SysExDialogOk(nodes, text, text, result);
  return 0;
}
