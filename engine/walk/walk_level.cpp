// The steps of a level that one thread and the pool take alike.
#include "engine/walk/walk_level.h"

#include "base/path.h"

namespace twinfol {

bool WalkParts::MayDelete(const std::string& targetPath, bool folder)
{
    if (rules.Options().confirmDeletes) {
        ConfirmQuestion question;
        question.caption = folder ? "Delete Sub-Folder" : "Delete File";
        question.lines[0] = JoinPath(folder ? "Delete sub-folder: " : "Delete file: ", targetPath);
        bool& yesToAll = folder ? runState.folderYesToAll : runState.fileYesToAll;
        bool& noToAll = folder ? runState.folderNoToAll : runState.fileNoToAll;
        const ConfirmResult result = AskDeleteConfirmation(host, question, yesToAll, noToAll);
        if (result == ConfirmResult::CancelRun)
            runState.RequestStop();
        if (result != ConfirmResult::Delete)
            return false;
    }
    deletes.Begin();
    return true;
}

TargetOnlyItem::TargetOnlyItem(ItemKind itemKind, const ItemPlace& place)
    : kind(itemKind), path(itemKind == ItemKind::Folder ? place.TargetFolder() : place.TargetPath()),
      problemPath(place.TargetPath())
{
}

ItemAction DecideTargetOnly(const ItemRules& rules, const ItemPlace& place, ItemKind kind)
{
    return kind == ItemKind::Folder ? rules.ForTargetOnlyFolder(place) : rules.ForTargetOnlyFile(place);
}

const char* DeletingText(ItemKind kind)
{
    return kind == ItemKind::Folder ? "Deleting folder: " : "Deleting file: ";
}

ChangeResult DeleteTargetItem(WalkParts& parts, const TargetOnlyItem& item)
{
    if (item.IsFolder())
        return parts.changes.DeleteFolder(item.path, parts.runState.stopRequested);
    return parts.changes.DeleteFile(item.path);
}

void RecordDeleted(WalkParts& parts, const TargetOnlyItem& item, const ChangeResult& result)
{
    if (item.IsFolder())
        parts.records.FolderDeleted(item.path, result);
    else
        parts.records.FileDeleted(item.path, result);
}

void RecordDeleteRefused(WalkParts& parts, const TargetOnlyItem& item, std::string refusal)
{
    parts.records.DeleteRefused(item.IsFolder() ? ProblemKind::DeleteFolder : ProblemKind::DeleteFile,
                                item.problemPath, std::move(refusal));
}

Compared CompareTwinFiles(FileSystem& fileSystem, const ItemRules& rules, Listing& source,
                          const std::string& sourceDir, Listing& target, const std::string& targetDir,
                          const std::string& name, const std::string& targetName)
{
    // A stamp that cannot be read makes the file "not newer": no overwrite and no problem line.
    const auto read = [&](Listing& listing, const std::string& folder, const std::string& entry) {
        return (listing.stamps ? listing.stamps->ReadFileStamp(entry)
                               : fileSystem.ReadFileStamp(folder + entry))
            .ToOptional();
    };
    Compared compared;
    compared.source = read(source, sourceDir, name);
    compared.target = read(target, targetDir, targetName.empty() ? name : targetName);
    compared.comparison = rules.Compare(compared.source, compared.target);
    return compared;
}

TwinComparison CompareInLevel(WalkParts& parts, Level& level, const std::string& name,
                              const std::string& targetName)
{
    if (level.newerTwins && targetName.empty())
        return level.newerTwins->contains(name) ? TwinComparison::SourceNewer : TwinComparison::NotNewer;
    level.compared = CompareTwinFiles(parts.fileSystem, parts.rules, level.source, level.sourceDir,
                                      level.target, level.targetDir, name, targetName);
    return level.compared.comparison;
}

void RespellTwin(WalkParts& parts, Level& level, const std::string& name, const std::string& listedName)
{
    const ItemPlace listed{level.sourceDir, level.targetDir, name, listedName};
    // An excluded target file is left as it is, under its own spelling; it is no delete candidate either.
    if (parts.rules.ForOtherSpelling(listed) == ItemAction::Exclude)
        return;
    const TwinComparison comparison = CompareInLevel(parts, level, name, listedName);
    const ItemPlace place = level.Place(name);
    const std::string sourcePath = place.SourcePath();
    const std::string targetPath = place.TargetPath();
    if (const FsStatus respelled = parts.changes.Respell(listed.TargetPath(), name); !respelled) {
        parts.records.FileAddRefused(sourcePath, targetPath, respelled);
        return;
    }
    parts.records.Respelled(level.targetDir, listedName, name);
    if (parts.rules.ForTwinFile(place, comparison) != ItemAction::Overwrite)
        return;
    parts.records.Show("Overwriting file: ", level.targetDir, name);
    const ChangeResult copied = parts.changes.Overwrite(sourcePath, targetPath, &parts.figures);
    parts.records.FileOverwritten(sourcePath, targetPath, copied, level.compared);
}

} // namespace twinfol
