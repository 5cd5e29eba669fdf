// Finding the run to undo from the window and wording the question about it.
#include "app/undo_choice.h"

#include <ctime>

#include "base/amount_text.h"
#include "base/display_text.h"
#include "base/path.h"

namespace twinfol {
namespace {

std::optional<UndoChoice> LastRunInto(FileSystem& fileSystem, const UserPlaces& places,
                                      const std::string& target, const std::string& source,
                                      SyncDirection direction)
{
    if (target.empty() || source.empty())
        return std::nullopt;
    UndoSearch search = FindLastRun(fileSystem, places, target);
    const FsResult<std::string> sourceResolved = fileSystem.ResolvePath(WithoutTrailingSeparator(source));
    if (!search.run || !sourceResolved ||
        search.run->journal.header.source != WithTrailingSeparator(*sourceResolved))
        return std::nullopt;
    return UndoChoice{direction, target, std::move(*search.run)};
}

std::string LocalTime(std::int64_t seconds)
{
    const auto when = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&when, &local);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

// " (12 files, 3.4 MiB)": what lies under the items of one kind, at any depth.
std::string Figures(const FolderContents& contents)
{
    return " (" + FormatCount(contents.files) + (contents.files == 1 ? " file, " : " files, ") +
           FormatBytes(contents.bytes) + ")";
}

} // namespace

std::optional<UndoChoice> UndoChoiceForTarget(FileSystem& fileSystem, const UserPlaces& places,
                                              const std::string& target, const std::string& location1,
                                              std::string& refusal)
{
    UndoSearch search = FindLastRun(fileSystem, places, target);
    if (!search.run) {
        refusal = search.refusal;
        return std::nullopt;
    }
    const FsResult<std::string> first = fileSystem.ResolvePath(WithoutTrailingSeparator(location1));
    const bool toLocation1 =
        !location1.empty() && first && WithTrailingSeparator(*first) == search.run->journal.header.target;
    return UndoChoice{toLocation1 ? SyncDirection::Location2ToLocation1 : SyncDirection::Location1ToLocation2,
                      target, std::move(*search.run)};
}

std::optional<UndoChoice> FindUndoChoice(FileSystem& fileSystem, const UserPlaces& places,
                                         const std::string& location1, const std::string& location2)
{
    std::optional<UndoChoice> into2 =
        LastRunInto(fileSystem, places, location2, location1, SyncDirection::Location1ToLocation2);
    std::optional<UndoChoice> into1 =
        LastRunInto(fileSystem, places, location1, location2, SyncDirection::Location2ToLocation1);
    if (!into1)
        return into2;
    if (!into2)
        return into1;
    // Journal names hold the start of their run after a key of the same length for every target.
    const auto started = [](const UndoChoice& choice) { return choice.run.file.name.substr(17); };
    return started(*into1) > started(*into2) ? into1 : into2;
}

std::string UndoQuestionText(const UndoChoice& choice, const UndoExtent& extent)
{
    const UndoableRun& run = choice.run;
    std::string text = "Undo the last run into " + ForDisplay(WithoutTrailingSeparator(choice.target)) +
                       ", made on " + LocalTime(run.journal.header.started) + "?\n\n";
    text += std::to_string(run.added) + " added files and folders go to the Trash" + Figures(extent.added) +
            ".\n";
    if (run.journal.header.useTrash) {
        text += std::to_string(run.overwritten) + " overwritten files get their old content back" +
                Figures(extent.overwritten) + ".\n";
        text += std::to_string(run.deleted) + " deleted files and folders come back from the Trash" +
                Figures(extent.deleted) + ".\n";
    } else {
        text += "That run did not use the Trash: the files and folders it deleted or overwrote cannot "
                "come back.\n";
    }
    text += "\nItems changed since that run are left as they are.";
    return text;
}

} // namespace twinfol
