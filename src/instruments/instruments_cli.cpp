#include "instruments/instruments_cli.h"

#include <filesystem>

#include "base/ini_file.h"
#include "base/text_encoding.h"
#include "instruments/instruments.h"
#include "instruments/note_name.h"

namespace melko {

namespace {

class StreamLog : public LogSink {
 public:
  explicit StreamLog(std::ostream& out) : out_(out) {}
  void Line(std::string_view text) override { out_ << "Warning: " << DisplayText(text) << "\n"; }

 private:
  std::ostream& out_;
};

std::string Relative(const std::string& path, const std::string& folder) {
  std::string rel = std::filesystem::path(path).lexically_relative(folder).generic_string();
  return rel.empty() ? path : rel;
}

std::string BankText(int b) { return BankByteSent(b) ? std::to_string(b) : std::string("-"); }

std::string KeyText(TPatchKey key) {
  return Format("%08X  MSB %s LSB %s PC %d%s", key, BankText(KeyBankMsb(key)).c_str(),
                BankText(KeyBankLsb(key)).c_str(), KeyProgram(key) + 1, KeyIsDrum(key) ? " drum" : "");
}

// NAME as a display name (typed as UTF-8, or as the CP932 bytes a file may
// hold) or as a file name, with or without its folder below INST.
bool Matches(const std::string& name, const std::string& displayName, const std::string& path,
             const std::string& folder) {
  if (EqualsNoCase(displayName, name) || EqualsNoCase(displayName, StoreText(name))) return true;
  return EqualsNoCase(Relative(path, folder), name) ||
         EqualsNoCase(std::filesystem::path(path).filename().string(), name);
}

void PrintInst(TmInst& inst, const std::string& file, std::ostream& out) {
  out << "Instrument: " << DisplayText(inst.DisplayName) << " (" << file << ", " << inst.Count() << " patches, "
      << inst.Banks.size() << " banks)\n";
  int bank = -2;
  for (int i = 0; i < inst.Count(); ++i) {
    const int b = inst.BankOf(i);
    if (b != bank && b >= 0) out << "[" << DisplayText(inst.Banks[static_cast<size_t>(b)].Name) << "]\n";
    bank = b;
    out << "  " << DisplayText(inst.Entries[static_cast<size_t>(i)]) << "\t" << KeyText(inst.GetKey(i)) << "\n";
  }
}

void PrintDrumInst(TmDrumInst& drums, const std::string& file, std::ostream& out) {
  out << "Drum sets: " << DisplayText(drums.DisplayName) << " (" << file << ", " << drums.Count() << " sets)\n";
  for (int s = 0; s < drums.Count(); ++s) {
    out << "[" << DisplayText(drums.Entries[static_cast<size_t>(s)]) << "]\t" << KeyText(drums.GetKey(s)) << "\n";
    for (int note = 0; note < 128; ++note) {
      const std::string tone = drums.GetToneName(s, note);
      if (!tone.empty()) out << Format("  %.3d %s  ", note, NoteName(note, 0).c_str()) << DisplayText(tone) << "\n";
    }
    drums.FreeToneNames(s);
  }
}

}  // namespace

int RunInstrumentsCommand(const std::vector<std::string>& args, const std::string& dataDir, std::ostream& out,
                          std::ostream& err) {
  const std::string folder = dataDir + "/INST";
  StreamLog log(err);
  TmInstruments instruments(folder, &log);
  if (args.size() < 2) {
    out << "Instrument definitions (" << instruments.InsFiles.size() << "):\n";
    for (size_t i = 0; i < instruments.InsFiles.size(); ++i) {
      out << "  " << DisplayText(instruments.InsNames[i]) << "\t" << Relative(instruments.InsFiles[i], folder) << "\n";
    }
    out << "Drum definitions (" << instruments.DrmFiles.size() << "):\n";
    for (size_t i = 0; i < instruments.DrmFiles.size(); ++i) {
      out << "  " << DisplayText(instruments.DrmNames[i]) << "\t" << Relative(instruments.DrmFiles[i], folder) << "\n";
    }
    return 0;
  }
  std::string name = args[1];
  for (size_t i = 2; i < args.size(); ++i) name += " " + args[i];
  bool any = false;
  for (size_t i = 0; i < instruments.InsFiles.size(); ++i) {
    if (!Matches(name, instruments.InsNames[i], instruments.InsFiles[i], folder)) continue;
    if (any) out << "\n";
    any = true;
    PrintInst(*instruments.GetInst(static_cast<int>(i)), Relative(instruments.InsFiles[i], folder), out);
  }
  for (size_t i = 0; i < instruments.DrmFiles.size(); ++i) {
    if (!Matches(name, instruments.DrmNames[i], instruments.DrmFiles[i], folder)) continue;
    if (any) out << "\n";
    any = true;
    PrintDrumInst(*instruments.GetDrumInst(static_cast<int>(i)), Relative(instruments.DrmFiles[i], folder), out);
  }
  if (!any) {
    err << "Error: no instrument or drum definition named \"" << name << "\" in " << folder << "\n";
    return 1;
  }
  return 0;
}

}  // namespace melko
