#include "midi/midi_settings.h"

#include "base/int_helpers.h"

namespace melko {

namespace {
const char* const kPort = "Port";

std::string PortKey(int p) { return "Port" + std::to_string(p); }

// The stored index, or the device found by the stored name when the index
// names another device now (the device list changed since).
int ResolveDevice(const IniFile& ini, const std::string& key, int def, int count,
                  const std::vector<std::string>& names) {
  int d = ini.ReadInteger(kPort, key, def);
  if (d < 0 || d > count) d = 0;
  std::string name = ini.ReadString(kPort, key + "Name", "");
  if (!name.empty() && !(d > 0 && size_t(d) < names.size() && names[d] == name)) {
    d = 0;
    for (size_t i = 1; i < names.size(); ++i)
      if (names[i] == name) {
        d = int(i);
        break;
      }
  }
  return d;
}
}  // namespace

SynthOptions ReadSynthOptions(const IniFile& ini) {
  SynthOptions o;
  o.SoundFont = ini.ReadString(kPort, "SoundFont", "");
  return o;
}

void ApplyPortSettings(const IniFile& ini, MidiPorts& ports) {
  for (int p = 0; p < kPortCount; ++p) {
    // Out of the box port A is the built-in synthesizer, so a new user hears the song.
    int def = (p == 0 && ports.OutDeviceCount > 0) ? 1 : 0;
    ports.PortMap[p] = uint8_t(ResolveDevice(ini, PortKey(p), def, ports.OutDeviceCount, ports.OutDeviceNames));
  }
  ports.InPort = uint8_t(ResolveDevice(ini, "In", 0, ports.InDeviceCount, ports.InDeviceNames));
  ports.DefaultOutPort = uint8_t(ClampInt(ini.ReadInteger(kPort, "Out", 0), 0, 3));
  ports.ClickPort = uint8_t(ClampInt(ini.ReadInteger(kPort, "Click", 0), 0, 3));
  ports.SyncPort = int32_t(ClampInt(ini.ReadInteger(kPort, "Sync", 0), 0, 3));
  ports.SendOptions = uint8_t(ini.ReadInteger("Filter", "Send", 3) & 3);
}

void WritePortSettings(IniFile& ini, const MidiPorts& ports) {
  for (int p = 0; p < kPortCount; ++p) {
    ini.WriteInteger(kPort, PortKey(p), ports.PortMap[p]);
    ini.WriteString(kPort, PortKey(p) + "Name", ports.PortMap[p] ? ports.OutDeviceNames[ports.PortMap[p]] : "");
  }
  ini.WriteInteger(kPort, "In", ports.InPort);
  ini.WriteString(kPort, "InName", ports.InPort && ports.InPort < ports.InDeviceNames.size()
                                       ? ports.InDeviceNames[ports.InPort] : "");
  ini.WriteInteger(kPort, "Out", ports.DefaultOutPort);
  ini.WriteInteger(kPort, "Click", ports.ClickPort);
  ini.WriteInteger(kPort, "Sync", ports.SyncPort);
  ini.WriteInteger("Filter", "Send", ports.SendOptions);
}

EngineOptions ReadEngineOptions(const IniFile& ini) {
  EngineOptions o;
  o.SongPosWait = int32_t(ClampInt(ini.ReadInteger("Sync", "SongPosWait", 300), 0, 10000));
  o.TimingClockCount = int32_t(ClampInt(ini.ReadInteger("Sync", "TimingClockCount", 4), 0, 96));
  o.ClickNote = uint8_t(ClampInt(ini.ReadInteger("Click", "Note", 56), 0, 127));
  o.ClickBeep = ini.ReadBool("Click", "Beep", false);
  o.ClickRecOnly = ini.ReadBool("Click", "RecOnly", false);
  return o;
}

void WriteEngineOptions(IniFile& ini, const EngineOptions& o) {
  ini.WriteInteger("Sync", "SongPosWait", o.SongPosWait);
  ini.WriteInteger("Sync", "TimingClockCount", o.TimingClockCount);
  ini.WriteInteger("Click", "Note", o.ClickNote);
  ini.WriteBool("Click", "Beep", o.ClickBeep);
  ini.WriteBool("Click", "RecOnly", o.ClickRecOnly);
}

int ReadThruMode(const IniFile& ini) {
  int v = ini.ReadInteger(kPort, "Thru", 0);
  return v < 0 || v > 5 ? 0 : v;
}

}  // namespace melko
