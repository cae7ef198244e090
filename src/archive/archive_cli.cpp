#include "archive/archive_cli.h"

#include "archive/arc_cache.h"
#include "archive/archive_path.h"
#include "base/text_encoding.h"

namespace melko {

int RunArchiveList(const std::vector<std::string>& args, const std::string& dataDir, std::ostream& out,
                   std::ostream& err) {
  if (args.size() != 2) {
    err << "usage: melko --archive-list ARCHIVE\n";
    return 2;
  }
  const std::string& archive = args[1];
  if (GetArchiveKind(archive) == ArchiveKind::None) {
    err << archive << ": not an LZH or ZIP archive\n";
    return 1;
  }
  TArcCache cache;
  const std::string cacheFile = dataDir + "/ArcCache.dat";
  cache.Load(cacheFile);
  TMemberList list;
  bool ok = cache.CachedList(archive, list);
  if (!cache.Save(cacheFile)) err << "cannot write " << cacheFile << '\n';
  if (!ok) {
    err << archive << ": cannot be read\n";
    return 1;
  }
  for (const TFileInfoObj& m : list)
    out << DisplayText(m.Name) << '\t' << m.Size << '\t' << DosTimeText(m.Time) << '\n';
  return 0;
}

}  // namespace melko
