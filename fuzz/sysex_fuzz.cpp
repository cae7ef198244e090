// Fuzz harness of the SysEx tables. Input: a mode byte, then parts separated
// by NUL bytes. Mode bit 0 clear: the parts are a typed text and message
// bodies, used with a fixed sample of tables. Mode bit 0 set: the first six
// parts are the six table files, then the typed text and the bodies.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sysex/sysex_param_nodes.h"

namespace {

const melko::TSysExTableTexts kSample = {
    "[Reverb]\n0 0=No Effect\n1 0=Hall 1\n[Switch]\n0=Off\n1=On\n",
    "[Offset64]\nRange=1 00 7F 40\n[Nib]\nRange=4 18 7E8 400\n[Two]\nRange=2 0 3FFF 0\n[Text]\nRange=8 0 0 0\n"
    "[None]\nRange=0 0 0 0\n",
    "[Signed]\nRange=Offset64\nUnits=st\n[Tune]\nRange=Nib\nFunc=Nibbled_Fine_Tune\n[Rev]\nRange=Two\nTable=Reverb\n"
    "[Name]\nRange=Text\nTable=Switch\nFunc=Display_ASCII\n[None]\nRange=None\n",
    "[dd]\nName=Device ID\nFormat=%x\n[0n]\nName=Device ID\n[ll]\nName=LSB\n",
    "[GS]\nData=41 dd 42 12\nDefDevID=10\nBgnCheckSum=5\n[XG]\nData=43 1n 4C\nDefDevID=0\n"
    "[GM]\nData=7F dd\nDefDevID=7F\n",
    "[Reset]\nModel=GS\nAddress=40 00 7F\n[Shift]\nModel=GS\nAddress=40 00 05\nType=Signed\n"
    "[Tune]\nModel=GS\nAddress=40 00 00\nType=Tune\n[Rev]\nModel=XG\nAddress=02 01 00\nType=Rev\nDefault=128\n"
    "[Name]\nModel=GS\nAddress=10 00 00\nType=Name\n[Vol]\nModel=GM\nAddress=04 01 ll\nDefault=127\n"
    "[On]\nModel=GM\nAddress=09 01\nType=None\n"};

void Exercise(melko::TSysExParamNodes& nodes, const std::string& text, const std::vector<std::string>& bodies) {
  const std::array<int, 3> extras = {static_cast<int>(text.size()), -1, 0x7F};
  std::vector<uint8_t> typed;
  nodes.SetFromText(typed, text);
  nodes.Analyse(typed);
  nodes.SetExtras(typed, extras);

  const int count = nodes.Params().Count() < 32 ? nodes.Params().Count() : 32;
  for (int i = 0; i < count; ++i) {
    const std::string& name = nodes.Params().Name(i);
    std::vector<uint8_t> body = nodes.MakeDefault(name);
    nodes.Analyse(body);
    nodes.SetFromText(body, text);
    nodes.Analyse(body);
    nodes.SetExtras(body, extras);
    nodes.GetTableEntries(body);
    nodes.DefaultHexText(name);
  }
  for (const std::string& raw : bodies) {
    std::vector<uint8_t> body(raw.begin(), raw.end());
    size_t pos = 0;
    nodes.FindParam(body, pos);
    nodes.Analyse(body);
    nodes.GetTableEntries(body);
    nodes.SetExtras(body, extras);
    nodes.SetFromText(body, text);
    melko::TSysExParamNodes::HexText(body);
  }
  nodes.GetGroupNames();
  nodes.GetParamNames(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool withTables = data[0] & 1;
  std::vector<std::string> parts(1);
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0) parts.emplace_back();
    else parts.back() += static_cast<char>(data[i]);
  }
  melko::TSysExParamNodes nodes;
  size_t next = 0;
  if (withTables) {
    parts.resize(parts.size() < 7 ? 7 : parts.size());
    nodes.LoadTexts({parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]});
    next = 6;
  } else {
    nodes.LoadTexts(kSample);
  }
  std::string text = next < parts.size() ? parts[next] : std::string();
  std::vector<std::string> bodies;
  for (size_t i = next + 1; i < parts.size(); ++i) bodies.push_back(parts[i]);
  Exercise(nodes, text, bodies);
  // Loading again must first clear everything.
  nodes.LoadTexts(kSample);
  Exercise(nodes, text, bodies);
  return 0;
}
