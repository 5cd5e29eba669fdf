// Keeping a run's report beside its journal.
#include "engine/changes/kept_report.h"

#include <sstream>

#include "base/path.h"
#include "engine/changes/journal_folder.h"
#include "engine/changes/user_places_check.h"
#include "engine/records/report_json.h"

namespace twinfol {
namespace {

constexpr std::string_view journalEnding = ".journal";
constexpr mode_t privateFolder = 0700;
constexpr mode_t privateFile = 0600;

} // namespace

std::string KeptReportPath(const std::string& journalFile)
{
    std::string path = journalFile;
    if (path.ends_with(journalEnding))
        path.resize(path.size() - journalEnding.size());
    return path + std::string(keptReportSuffix);
}

std::string KeptRecordPath(FileSystem& fileSystem, const UserPlaces& places, const SyncReport& report)
{
    const std::string target = WithoutTrailingSeparator(report.target);
    const std::string resolved = WithTrailingSeparator(fileSystem.ResolvePath(target).value_or(target));
    const std::string key = JournalKey(resolved);
    // A name another run of the same target took (a journal's report, a record) is never written over:
    // the next nanosecond still sorts where the run belongs.
    auto started = report.startTime;
    std::string path;
    for (int attempt = 0; attempt < 16; ++attempt, started += std::chrono::nanoseconds(1)) {
        path = places.journalFolder + RunFileName(key, started, keptReportSuffix);
        const std::string journal = path.substr(0, path.size() - keptReportSuffix.size()) + ".journal";
        if (fileSystem.KindOf(path) == EntryKind::Missing && fileSystem.KindOf(journal) == EntryKind::Missing)
            break;
    }
    return path;
}

bool WorthKeeping(const SyncReport& report)
{
    if (report.target.empty())
        return false;
    return !report.journalFile.empty() || !report.refusal.empty() || report.interrupted ||
           !report.problemLog.empty();
}

FsStatus KeepRunReport(FileSystem& fileSystem, const UserPlaces& places, const SyncReport& report,
                       std::string& path)
{
    path.clear();
    if (!WorthKeeping(report) || !CheckUserPlacesOwner(fileSystem, places).empty())
        return {};
    const std::string where = report.journalFile.empty() ? KeptRecordPath(fileSystem, places, report)
                                                         : KeptReportPath(report.journalFile);
    if (FsStatus made = fileSystem.MakeFolders(places.journalFolder, privateFolder); !made)
        return made;
    std::ostringstream text;
    WriteReportJson(report, ReportRunMode::Real, text);
    if (FsStatus written = fileSystem.ReplaceFile(where, text.str(), privateFile); !written)
        return written;
    path = where;
    return {};
}

std::optional<SyncReport> ReadKeptReport(FileSystem& fileSystem, const std::string& path)
{
    std::string text;
    if (!fileSystem.ReadFile(path, maxJournalBytes, text))
        return std::nullopt;
    return ReadReportJson(text);
}

} // namespace twinfol
