// The pattern list of the rhythm pattern editor and its RYM file: "RYM",
// version 3, a header length (0, skipped by the reader), the pattern count
// and per pattern a string name, the stream length and the pattern stream
// (see rhythm_pattern.h). Versions 1 and 2 (whose older stream layouts are
// not known here) and anything that is not a version 3 file are refused
// with kMsgUnreadableFormat; so is a file whose counts or lengths run past
// its end, or one of whose streams cannot be loaded. UI thread; the list is
// plain data owned by the editor (or a batch run).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace melko {

constexpr const char* kMsgUnreadableFormat = "このファイルは読めない形式です！";
constexpr const char* kMsgAddPattern = "パターンを追加します。前のパターンをコピーしますか？";
constexpr const char* kMsgDeletePatterns = " を削除します。よろしいですか？";
constexpr const char* kMsgRenamePrompt = "名前を入力して下さい";
constexpr const char* kMsgRenameCaption = "名前の変更";
constexpr const char* kMsgNewFile = "現在編集中の全パターンを破棄して、新規ファイルを作成しますか？";
constexpr const char* kMsgDiscardForImport = "現在編集中のデータを破棄しますか？";
constexpr const char* kMsgStretch = "Stretchしますか？";
constexpr const char* kMsgRhythmException = "演奏ルーチンで例外が発生しました。";
constexpr const char* kRhythmTitle = "RhythmPattern - ";
constexpr uint8_t kRymVersion = 3;
// Pattern files larger than this are not read.
constexpr uint64_t kMaxRymFileBytes = uint64_t{64} << 20;

struct TRymPattern {
  std::string Name;    // raw bytes
  std::string Stream;  // the pattern stream
};

// "Pattern %.2d ～ %.2d" + kMsgDeletePatterns, with patterns counted from 1.
std::string DeletePatternsQuestion(int first, int last);

class TRymPatternList {
 public:
  // One empty pattern named "Pattern".
  TRymPatternList();
  std::vector<TRymPattern> Patterns;

  int Count() const { return int(Patterns.size()); }
  // A pattern after index: a copy of it when copyPrevious, else an empty
  // one with the default layout (named "Pattern"). Returns the new index.
  int Add(int index, bool copyPrevious);
  // Removes patterns first..last (clamped); one empty pattern is left when
  // all go. Returns the index to show next.
  int Delete(int first, int last);
  bool Rename(int index, std::string name);
  // Back to one empty pattern.
  void Clear();

  // False (the list unchanged) with a file that is refused.
  bool ReadBytes(std::string_view bytes);
  std::string WriteBytes() const;
  // Missing, unreadable or refused files give false; the list is unchanged.
  bool Load(const std::string& path);
  // Through a temporary beside the file.
  bool Save(const std::string& path) const;
};

}  // namespace melko
