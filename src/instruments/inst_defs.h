// The two kinds of definition files: TmInst (an .INS file, the patches of one
// sound module by bank select and program) and TmDrumInst (a .DRM file, drum
// sets with the names of their sounds by note), with their common base
// TCmInst. Both read untrusted files: a malformed line is skipped and said in
// the log, and everything else in the file is still read. Used from the UI
// thread; each object is owned by TmInstruments (or by whoever made it).
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/log_sink.h"
#include "instruments/patch_key.h"

namespace melko {

class TmIniFile;

class TCmInst {
 public:
  // Definition files larger than this are not read.
  static constexpr uint64_t kMaxFileBytes = uint64_t{32} << 20;

  virtual ~TCmInst() = default;
  // Replaces the entries with the file's. False when the file is missing,
  // unreadable or too large (the entries are then empty); lines that cannot
  // be taken are reported to log (may be null) and do not make it false.
  virtual bool Load(const std::string& fileName, LogSink* log = nullptr) = 0;
  // The key of entry index (0 when out of range).
  virtual TPatchKey GetKey(int index) const = 0;
  // The entry for key (see the derived classes), or -1. Sets Exact.
  virtual int FindKey(TPatchKey key) = 0;
  // "?" when FindKey gives -1, else the entry's display text.
  std::string GetName(TPatchKey key);

  int Count() const { return static_cast<int>(Entries.size()); }

  bool Exact = false;  // the last FindKey matched the whole key
  bool Fuzzy = true;   // FindKey may fall back to a match by program number
  // Display texts in file order; the list a patch list box draws from.
  std::vector<std::string> Entries;
};

struct TmInstBank {
  std::string Name;
  int FirstEntry = 0;  // index in Entries of the bank's first patch
};

class TmInst : public TCmInst {
 public:
  bool Load(const std::string& fileName, LogSink* log = nullptr) override;
  // The same from the file's bytes; name is used in log lines only.
  void LoadFromBytes(std::string_view bytes, std::string_view name, LogSink* log = nullptr);
  TPatchKey GetKey(int index) const override;
  // The first entry with the whole key (Exact). Otherwise, when Fuzzy, the
  // first entry with the same program and drum flag, else the last entry with
  // the same program; -1 when none.
  int FindKey(TPatchKey key) override;
  // The bank that holds entry index as the patch dialog shows it: the last
  // bank whose first patch is not above it, the first bank when none; -1 with
  // no banks.
  int BankOf(int index) const;

  std::string DisplayName;  // the file's first line, trimmed
  std::vector<TmInstBank> Banks;

 private:
  std::vector<TPatchKey> keys_;
};

// The names of the drum sounds of one set on notes 0..127 (empty: unnamed).
using TmDrumToneNames = std::array<std::string, 128>;

struct TmDrumSet {
  TPatchKey Key = 0;
  std::unique_ptr<TmDrumToneNames> ToneNames;  // loaded on first use, else null
  int Section = 0;  // the set's section position in the file
};

class TmDrumInst : public TCmInst {
 public:
  bool Load(const std::string& fileName, LogSink* log = nullptr) override;
  TPatchKey GetKey(int index) const override;
  // Scanning from the last set to the first: the last set in file order with
  // the whole key (Exact); otherwise, when Fuzzy, the first set in file order
  // with the same program; -1 when none.
  int FindKey(TPatchKey key) override;

  // The name of note's sound in set setIndex, loading the set's names from
  // FileName first when they are not loaded; empty when out of range.
  std::string GetToneName(int setIndex, int note);
  bool ToneNamesLoaded(int setIndex) const;
  void FreeToneNames(int setIndex);
  // Drops every set's names and the file text kept for loading them.
  void FreeAllToneNames();

  // The sets of a file already read (name is used in log lines only).
  void LoadFromIni(TmIniFile& ini, std::string_view name, LogSink* log = nullptr);
  // Name of the first section, "???" when absent or with no sections.
  static std::string ReadDisplayName(TmIniFile& ini);
  // The names of the set in section (notes as "%.3d" keys; missing: empty).
  static void ReadToneNames(TmIniFile& ini, int section, TmDrumToneNames& names);

  std::string DisplayName;  // Name of the first section, "???" when absent
  std::string FileName;     // kept for loading the note names later
  std::vector<TmDrumSet> Sets;  // one per entry, same order

  TmDrumInst();
  ~TmDrumInst() override;

 private:
  // The file read again for the note names, kept while any are wanted (until
  // FreeAllToneNames) so that loading the names of every set reads it once.
  std::unique_ptr<TmIniFile> namesFile_;
};

}  // namespace melko
