// A level on the engine thread: the source files, the target-only files, the source sub-folders and
// the target-only sub-folders, in that order, each item decided by the rules and then carried out.
#include "engine/walk/serial_level.h"

namespace twinfol {

void SerialLevel::HandleSourceFiles()
{
    for (const std::string& name : level_.source.files) {
        if (const auto twin = level_.target.files.find(name); twin != level_.target.files.end()) {
            HandleTwinFile(name);
            // Present on both sides, so never a delete candidate, whatever happened above.
            level_.target.files.erase(twin);
        } else {
            AddFile(name);
        }
        if (parts_.IsStopped())
            return;
    }
}

void SerialLevel::AddFile(const std::string& name)
{
    const ItemPlace place = level_.Place(name);
    const ItemAction action = parts_.rules.ForSourceOnlyFile(place);
    if (action == ItemAction::None)
        return;
    const std::string sourcePath = place.SourcePath();
    const std::string targetPath = place.TargetPath();
    if (action == ItemAction::Exclude) {
        parts_.records.Excluded(sourcePath, targetPath);
        return;
    }
    // A target that folds case may hold this file under another spelling: it becomes the twin, or the
    // add is refused, never made over it.
    const SpellingCheck spelling = parts_.spellings.BeforeAdd(level_.targetDir, name, level_.target.files,
                                                              level_.target.folders, level_.source.files);
    if (spelling.outcome == SpellingOutcome::Refused) {
        parts_.records.FileAddRefused(sourcePath, targetPath, spelling.status);
    } else if (spelling.outcome == SpellingOutcome::OtherSpelling) {
        RespellTwin(parts_, level_, name, spelling.listedName);
    } else {
        parts_.records.Show("Adding file: ", level_.targetDir, name);
        const ChangeResult copied = parts_.changes.AddFile(sourcePath, targetPath, &parts_.figures);
        parts_.records.FileAdded(sourcePath, targetPath, copied);
    }
}

void SerialLevel::HandleTwinFile(const std::string& name)
{
    parts_.records.Show("Checking file: ", level_.targetDir, name);
    const ItemPlace place = level_.Place(name);
    const ItemAction action = parts_.rules.ForTwinFile(place, CompareInLevel(parts_, level_, name));
    // The paths are built only for files that are acted on: most files of a run are only compared.
    if (action == ItemAction::LeaveAlone) {
        if (parts_.records.HasObserver())
            parts_.records.FileLeftAlone(place.SourcePath(), place.TargetPath(), level_.compared);
        return;
    }
    const std::string sourcePath = place.SourcePath();
    const std::string targetPath = place.TargetPath();
    if (action == ItemAction::Exclude) {
        parts_.records.Excluded(sourcePath, targetPath);
        return;
    }
    parts_.records.Show("Overwriting file: ", level_.targetDir, name);
    const ChangeResult copied = parts_.changes.Overwrite(sourcePath, targetPath, &parts_.figures);
    parts_.records.FileOverwritten(sourcePath, targetPath, copied, level_.compared);
}

void SerialLevel::DeleteTargetOnly(ItemKind kind)
{
    for (const std::string& name : kind == ItemKind::Folder ? level_.target.folders : level_.target.files) {
        const ItemPlace place = level_.Place(name);
        const ItemAction action = DecideTargetOnly(parts_.rules, place, kind);
        if (action == ItemAction::None)
            continue;
        const TargetOnlyItem item(kind, place);
        if (action == ItemAction::Exclude) {
            parts_.records.Excluded({}, item.path);
            continue;
        }
        // Refused before anyone is asked: a question whose Yes would be ignored helps nobody.
        if (std::string refusal = parts_.DeleteRefusal(); !refusal.empty()) {
            RecordDeleteRefused(parts_, item, std::move(refusal));
        } else if (parts_.MayDelete(item.problemPath, item.IsFolder())) {
            parts_.records.Show(DeletingText(kind), level_.targetDir, name);
            RecordDeleted(parts_, item, DeleteTargetItem(parts_, item));
        }
        if (parts_.IsStopped())
            return;
    }
}

void SerialLevel::HandleSourceFolders()
{
    for (const std::string& name : level_.source.folders) {
        if (parts_.IsStopped())
            return;
        parts_.records.Show("Checking folder: ", level_.targetDir, name);
        HandleSourceFolder(name);
    }
}

void SerialLevel::HandleSourceFolder(const std::string& name)
{
    const ItemPlace place = level_.Place(name);
    const std::string sourceFolder = place.SourceFolder();
    const std::string targetFolder = place.TargetFolder();
    if (const auto twin = level_.target.folders.find(name); twin != level_.target.folders.end()) {
        // Present on both sides, so never a delete candidate, excluded or not.
        level_.target.folders.erase(twin);
        if (parts_.rules.ForTwinFolder(place) == ItemAction::Descend)
            parts_.descent.Descend(sourceFolder, targetFolder, nullptr);
        else
            parts_.records.Excluded(sourceFolder, targetFolder);
        return;
    }
    const ItemAction action = parts_.rules.ForSourceOnlyFolder(place);
    if (action == ItemAction::Exclude)
        parts_.records.Excluded(sourceFolder, targetFolder);
    if (action != ItemAction::AddFolder)
        return;
    // As for files, a folder under another spelling is the twin. It keeps the disk's spelling: some
    // FUSE drivers (fusefat) lose a folder's content when it is renamed.
    const SpellingCheck spelling = parts_.spellings.BeforeAdd(level_.targetDir, name, level_.target.folders,
                                                              level_.target.files, level_.source.folders);
    const FolderItem folder{sourceFolder, targetFolder, level_.sourceDir, name};
    if (spelling.outcome == SpellingOutcome::Refused) {
        parts_.records.FolderAddRefused(folder, spelling.status);
    } else if (spelling.outcome == SpellingOutcome::OtherSpelling) {
        const ItemPlace listed{level_.sourceDir, level_.targetDir, name, spelling.listedName};
        parts_.descent.Descend(sourceFolder, listed.TargetFolder(), nullptr);
    } else {
        parts_.records.Show("Adding folder: ", level_.targetDir, name);
        AddFolder(folder);
    }
}

void SerialLevel::AddFolder(const FolderItem& folder)
{
    CopyTally tally;
    parts_.figures.Attach(tally);
    const ChangeResult copied = parts_.changes.AddFolder(folder.sourceFolder, folder.targetFolder,
                                                         parts_.runState.stopRequested, &tally);
    parts_.figures.AddCopied(tally);
    parts_.records.FolderAdded(folder, copied, &tally);
}

} // namespace twinfol
