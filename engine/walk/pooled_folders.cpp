// A level's sub-folders with the pool: folder adds and tree deletes handed to the workers, recorded on
// the engine thread in walk order; the walk goes down into twin folders itself, after everything handed
// out before them is recorded.
#include "engine/walk/pooled_folders.h"

#include "engine/fs/case_folding.h"
#include "engine/walk/pooled_files.h"

namespace twinfol {
namespace {

// One tree copy or delete of a level, as a worker left it.
struct TreeWork {
    bool started = false;
    ChangeResult result;
    CopyTally tally;
};

} // namespace

bool PooledFolders::FolderSpelledAsListed(const std::string& name, OrderedResults& results,
                                          std::set<std::string>& addedFolds)
{
    if (!addedFolds.insert(FoldCase(name)).second)
        results.CollectAll();
    SpellingCheck spelling = parts_.spellings.BeforeAdd(level_.targetDir, name, level_.target.folders,
                                                        level_.target.files, level_.source.folders);
    if (spelling.outcome == SpellingOutcome::Free)
        return true;
    if (spelling.outcome == SpellingOutcome::Refused) {
        results.Add([this, &name, status = std::move(spelling.status)] {
            parts_.records.Show("Checking folder: ", level_.targetDir, name);
            const ItemPlace place = level_.Place(name);
            const std::string sourceFolder = place.SourceFolder();
            const std::string targetFolder = place.TargetFolder();
            parts_.records.FolderAddRefused({sourceFolder, targetFolder, level_.sourceDir, name}, status);
        });
    } else {
        // The folder under its other spelling is the twin; the walk goes down into it here.
        results.CollectAll();
        parts_.records.Show("Checking folder: ", level_.targetDir, name);
        const ItemPlace listed{level_.sourceDir, level_.targetDir, name, spelling.listedName};
        parts_.descent.Descend(listed.SourceFolder(), listed.TargetFolder(), nullptr);
    }
    return false;
}

void PooledFolders::PostAdd(const std::string& name, OrderedResults& results)
{
    auto done = std::make_shared<TreeWork>();
    parts_.figures.Attach(done->tally);
    results.Post(
        [this, &name, done] {
            if (parts_.IsStopped())
                return;
            done->started = true;
            const ItemPlace place = level_.Place(name);
            done->result.status = parts_.changes.CopyNewFolder(place.SourceFolder(), place.TargetFolder(),
                                                               parts_.runState.stopRequested, &done->tally);
        },
        [this, &name, done] {
            if (!done->started)
                return;
            parts_.records.Show("Checking folder: ", level_.targetDir, name);
            parts_.records.Show("Adding folder: ", level_.targetDir, name);
            parts_.figures.AddCopied(done->tally);
            const ItemPlace place = level_.Place(name);
            const std::string sourceFolder = place.SourceFolder();
            const std::string targetFolder = place.TargetFolder();
            parts_.records.FolderAdded({sourceFolder, targetFolder, level_.sourceDir, name},
                                       parts_.changes.FinishAddFolder(targetFolder, done->result.status),
                                       &done->tally);
        },
        [this, &name] {
            parts_.records.Foretell("Checking folder: ", level_.targetDir, name);
            parts_.records.Foretell("Adding folder: ", level_.targetDir, name);
        });
}

void PooledFolders::HandleSourceFolders()
{
    OrderedResults results(pool_, pool_.WorkerCount() * piecesPerWorker);
    TwinPairs twins = readAhead_.TwinsOf(level_);
    std::set<std::string> addedFolds;
    for (const std::string& name : level_.source.folders) {
        if (parts_.IsStopped())
            break;
        const ItemPlace place = level_.Place(name);
        if (const auto twin = level_.target.folders.find(name); twin != level_.target.folders.end()) {
            // The sub-folder's own records come after everything handed out before it.
            results.CollectAll();
            parts_.records.Show("Checking folder: ", level_.targetDir, name);
            level_.target.folders.erase(twin);
            if (parts_.rules.ForTwinFolder(place) == ItemAction::Descend)
                parts_.descent.Descend(place.SourceFolder(), place.TargetFolder(), twins.Take(name));
            else
                parts_.records.Excluded(place.SourceFolder(), place.TargetFolder());
            continue;
        }
        const ItemAction action = parts_.rules.ForSourceOnlyFolder(place);
        if (action != ItemAction::AddFolder) {
            results.Add([this, &name, action] {
                parts_.records.Show("Checking folder: ", level_.targetDir, name);
                if (action == ItemAction::Exclude)
                    parts_.records.Excluded(level_.Place(name).SourceFolder(),
                                            level_.Place(name).TargetFolder());
            });
        } else if (FolderSpelledAsListed(name, results, addedFolds)) {
            PostAdd(name, results);
        }
    }
    results.CollectAll();
}

} // namespace twinfol
