// Archive paths: a member inside an archive is written as the archive's file
// path, ">", and the member's name inside it ("songs/pack.lzh>demo/a.mid").
// The archive kind follows from the archive's extension. Pure functions,
// callable from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace melko {

enum class ArchiveKind { None = 0, Lha = 1, Zip = 2 };

// The kind of an archive file path by its extension (".LZH" or ".ZIP", any
// case); "x.lzh.bak" is none. For an archive path the archive part counts.
ArchiveKind GetArchiveKind(std::string_view path);

// Splits at the first ">": the archive before it, the member after it. False
// (and both empty) when there is no ">".
bool SplitArchivePath(std::string_view path, std::string& archive, std::string& member);

// True when `path` names a member of an LHA or ZIP archive: it holds a ">"
// and the part before it has an archive extension.
bool IsArchivePath(std::string_view path);

std::string JoinArchivePath(std::string_view archive, std::string_view member);

// The file name a member is extracted as: everything up to the last "/" (or
// "\") removed. Empty for a member that has no file name ("dir/", ".", "..").
std::string MemberFileName(std::string_view member);

// "YYYY-MM-DD HH:MM:SS" of a DOS time word (low half) and date word (high half).
std::string DosTimeText(uint32_t dosTime);
// The DOS time and date words of a Unix time, in local time.
uint32_t UnixToDosTime(int64_t unixTime);
int64_t DosToUnixTime(uint32_t dosTime);

}  // namespace melko
