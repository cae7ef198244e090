#include "song/song_dump.h"

#include "base/log_sink.h"
#include "song/track_ops.h"

namespace melko {

std::string QuoteText(const std::string& raw) {
  std::string out = "\"";
  for (unsigned char c : raw) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c > 0x7E) {
      out += Format("\\x%02X", c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

namespace {
void PutHex(std::ostream& out, const uint8_t* p, uint32_t n) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (uint32_t i = 0; i < n; ++i) {
    out << ' ' << kDigits[p[i] >> 4] << kDigits[p[i] & 15];
  }
}
}  // namespace

void DumpTrackEvents(const TMidiData& track, std::ostream& out) {
  for (TrackWalker w(track); !w.AtEnd(); w.Advance()) {
    const TMidiEvent& ev = w.Next();
    out << ev.Time << ' ';
    switch (ev.Status) {
      case 0x90:
        out << "Note " << +ev.Data1 << ' ' << +ev.Data2 << ' ' << +ev.Data3 << ' ' << ev.Value;
        break;
      case 0xA0:
        out << "KyPrs " << +ev.Data1 << ' ' << +ev.Data2;
        break;
      case 0xB0:
        out << "Ctrl " << +ev.Data1 << ' ' << +ev.Data2;
        break;
      case 0xC0:
        out << "Prog " << +ev.Data1;
        break;
      case 0xD0:
        out << "ChPrs " << +ev.Data1;
        break;
      case 0xE0:
        out << "Bend " << ((ev.Data2 << 7 | ev.Data1) - 8192);
        break;
      case 0xF0:
      case 0xF7:
        out << "SysEx " << (ev.Status == 0xF0 ? "F0" : "F7") << ' ' << ev.Len;
        PutHex(out, ev.Data, ev.Len);
        break;
      case 0xFF:
        out << "Meta " << Format("%02X", ev.Data1) << ' ' << ev.Len;
        PutHex(out, ev.Data, ev.Len);
        break;
      default:
        out << "Status " << Format("%02X", ev.Status);
        break;
    }
    out << '\n';
  }
}

void DumpSong(const Song& song, std::ostream& out) {
  out << "== song ==\n";
  out << "TPQN " << song.TPQN << '\n';
  out << "Copyright " << QuoteText(song.Copyright) << '\n';
  out << "LastTrack " << +song.LastTrack << '\n';
  out << "NoteOffStyle " << (song.NoteOffStyle ? 1 : 0) << '\n';
  for (int t = 0; t <= song.LastTrack; ++t) {
    out << "== track " << t << " ==\n";
    out << "Name " << QuoteText(song.TrackNames[t]) << '\n';
    out << "Ch " << +song.Ch[t] << " Port " << +song.OutPort[t] << " Pad " << +song.Pad[t] << " Delay "
        << song.Delay[t] << " End " << song.TrackEnds[t] << '\n';
    DumpTrackEvents(song.Tracks[t], out);
  }
}

}  // namespace melko
