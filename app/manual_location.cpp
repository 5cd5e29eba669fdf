// The places the manual is looked for.
#include "app/manual_location.h"

namespace twinfol {

std::optional<std::string> FindManual(FileSystem& fileSystem, const std::string& programFolder)
{
    for (std::string candidate : {programFolder + "twinfol-manual.html",
                                  programFolder + "../share/doc/twinfol/twinfol-manual.html"}) {
        if (fileSystem.KindOf(candidate) == EntryKind::File)
            return candidate;
    }
    return std::nullopt;
}

} // namespace twinfol
