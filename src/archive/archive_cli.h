// `melko --archive-list ARCHIVE`: the members of an LHA or ZIP archive, one a
// line as "name<TAB>size<TAB>YYYY-MM-DD HH:MM:SS", through the archive cache
// kept in the data folder (ArcCache.dat, written when it changed). Returns
// the exit status.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace melko {

int RunArchiveList(const std::vector<std::string>& args, const std::string& dataDir, std::ostream& out,
                   std::ostream& err);

}  // namespace melko
