// A level's files with the pool: pieces of files compared and copied by the workers, deletes handed out
// after their questions, each recorded on the engine thread in walk order. The engine thread takes up
// the next piece itself rather than wait for a worker. Nothing starts once a stop was requested; what
// did start finishes and is recorded, so a stop's report counts exactly what is on disk.
#include "engine/walk/pooled_files.h"

#include <algorithm>
#include <cerrno>

#include "engine/fs/case_folding.h"
#include "engine/walk/serial_level.h"

namespace twinfol {
namespace {

// Files compared (and copied where needed) per piece of work: enough to make the hand-over cheap
// against the work, few enough to spread a folder's files over the workers.
constexpr std::size_t filesPerPiece = 16;

} // namespace

std::unique_ptr<PreparedCopies> PooledFiles::PrepareCopies(const Piece& piece) const
{
    // The files of the piece the worker will copy: adds, and the twins found older than their sources.
    std::vector<CopyPair> copies;
    for (const PooledFile& file : piece) {
        const ItemPlace place = level_.Place(*file.name);
        if (!file.twin || (file.comparison == TwinComparison::SourceNewer &&
                           parts_.rules.ForTwinFile(place, file.comparison) == ItemAction::Overwrite))
            copies.push_back({place.SourcePath(), place.TargetPath()});
    }
    if (copies.size() < 2)
        return nullptr;
    return parts_.fileSystem.PrepareCopies(copies);
}

void PooledFiles::CompareAndCopy(Piece& piece)
{
    // The twins are compared first, so that every copy of the piece is known before the first begins
    // and the layer can fill them ahead together. A file is begun (and recorded) only in the loop
    // after, one at a time, as a stop allows.
    for (PooledFile& file : piece) {
        if (parts_.IsStopped())
            return;
        if (file.twin && !file.comparedAhead) {
            file.comparison =
                CompareTwinFiles(parts_.fileSystem, parts_.rules, level_.source, level_.sourceDir,
                                 level_.target, level_.targetDir, *file.name, {})
                    .comparison;
            file.comparedAhead = true;
        }
    }
    const std::unique_ptr<PreparedCopies> prepared = PrepareCopies(piece);
    for (PooledFile& file : piece) {
        if (parts_.IsStopped())
            return;
        file.started = true;
        const ItemPlace place = level_.Place(*file.name);
        if (file.twin) {
            file.action = parts_.rules.ForTwinFile(place, file.comparison);
            if (file.action != ItemAction::Overwrite)
                continue;
        }
        const std::string sourcePath = place.SourcePath();
        const std::string targetPath = place.TargetPath();
        file.copied = file.twin
                          ? parts_.changes.Overwrite(sourcePath, targetPath, &file.tally)
                          : ChangeResult{parts_.changes.CopyNewFile(sourcePath, targetPath, &file.tally)};
    }
}

void PooledFiles::ForetellFirstFile(const std::string& name, bool twin, bool knownNewer)
{
    // The texts RecordFiles gives the file first; whether a twin is newer is only known ahead when it
    // was compared ahead.
    if (!twin) {
        parts_.records.Foretell("Adding file: ", level_.targetDir, name);
        return;
    }
    parts_.records.Foretell("Checking file: ", level_.targetDir, name);
    if (knownNewer &&
        parts_.rules.ForTwinFile(level_.Place(name), TwinComparison::SourceNewer) == ItemAction::Overwrite)
        parts_.records.Foretell("Overwriting file: ", level_.targetDir, name);
}

ChangeResult PooledFiles::CopyAgainIfCrowdedOut(const PooledFile& file)
{
    // A worker's copy that found the disk full may have found it full of the other workers' copies,
    // which one job would never have had under way beside it. Those are done now: the file gets the
    // one try it would have had alone.
    const FsStatus& copied = file.copied.status;
    if (copied || (copied.Error() != ENOSPC && copied.Error() != EDQUOT) || parts_.IsStopped())
        return file.copied;
    const ItemPlace place = level_.Place(*file.name);
    if (file.twin)
        return parts_.changes.Overwrite(place.SourcePath(), place.TargetPath(), &parts_.figures);
    return {parts_.changes.CopyNewFile(place.SourcePath(), place.TargetPath(), &parts_.figures)};
}

void PooledFiles::RecordTwin(PooledFile& file)
{
    const std::string& name = *file.name;
    const ItemPlace place = level_.Place(name);
    parts_.records.Show("Checking file: ", level_.targetDir, name);
    const Compared compared{{}, {}, file.comparison};
    if (file.action == ItemAction::LeaveAlone) {
        if (parts_.records.HasObserver())
            parts_.records.FileLeftAlone(place.SourcePath(), place.TargetPath(), compared);
        return;
    }
    if (file.action == ItemAction::Exclude) {
        parts_.records.Excluded(place.SourcePath(), place.TargetPath());
        return;
    }
    parts_.records.Show("Overwriting file: ", level_.targetDir, name);
    parts_.figures.AddCopied(file.tally);
    const ChangeResult copied = CopyAgainIfCrowdedOut(file);
    parts_.records.FileOverwritten(place.SourcePath(), place.TargetPath(), copied, compared);
}

void PooledFiles::RecordFiles(Piece& piece)
{
    // What one thread shows and records for each file, in the same order.
    for (PooledFile& file : piece) {
        if (!file.started)
            continue;
        if (file.twin) {
            RecordTwin(file);
            continue;
        }
        const ItemPlace place = level_.Place(*file.name);
        const std::string targetPath = place.TargetPath();
        parts_.records.Show("Adding file: ", level_.targetDir, *file.name);
        parts_.figures.AddCopied(file.tally);
        parts_.records.FileAdded(
            place.SourcePath(), targetPath,
            parts_.changes.FinishAddFile(targetPath, CopyAgainIfCrowdedOut(file).status));
    }
}

bool PooledFiles::AddSpelledAsListed(const std::string& name, OrderedResults& results,
                                     std::set<std::string>& addedFolds, const std::function<void()>& handOut)
{
    // The check looks at the target as the adds handed out before left it.
    if (!addedFolds.insert(FoldCase(name)).second) {
        handOut();
        results.CollectAll();
    }
    SpellingCheck spelling = parts_.spellings.BeforeAdd(level_.targetDir, name, level_.target.files,
                                                        level_.target.folders, level_.source.files);
    if (spelling.outcome == SpellingOutcome::Free)
        return true;
    handOut();
    if (spelling.outcome == SpellingOutcome::Refused) {
        results.Add([this, &name, status = std::move(spelling.status)] {
            const ItemPlace place = level_.Place(name);
            parts_.records.FileAddRefused(place.SourcePath(), place.TargetPath(), status);
        });
    } else {
        results.CollectAll();
        RespellTwin(parts_, level_, name, spelling.listedName);
    }
    return false;
}

std::size_t PooledFiles::KnownCopies() const
{
    std::size_t copies = level_.newerTwins ? level_.newerTwins->size() : 0;
    for (const std::string& name : level_.source.files)
        copies += level_.target.files.contains(name) ? 0 : 1;
    return copies;
}

bool PooledFiles::TakeSourceFile(const std::string& name, PooledFile& file, OrderedResults& results,
                                 std::set<std::string>& addedFolds, const std::function<void()>& handOut,
                                 bool pieceEmpty)
{
    file.name = &name;
    parts_.figures.Attach(file.tally);
    if (const auto twin = level_.target.files.find(name); twin != level_.target.files.end()) {
        file.twin = true;
        // Present on both sides, so never a delete candidate, whatever the worker finds.
        level_.target.files.erase(twin);
        if (!level_.newerTwins)
            return true;
        file.comparedAhead = true;
        file.comparison =
            level_.newerTwins->contains(name) ? TwinComparison::SourceNewer : TwinComparison::NotNewer;
        // Not newer: only its progress text is left to give, in its place after the files before it.
        if (file.comparison == TwinComparison::SourceNewer || !pieceEmpty)
            return true;
        results.Add([this, &name] { parts_.records.Show("Checking file: ", level_.targetDir, name); });
        return false;
    }
    const ItemAction action = parts_.rules.ForSourceOnlyFile(level_.Place(name));
    if (action == ItemAction::Exclude)
        results.Add([this, &name] {
            const ItemPlace place = level_.Place(name);
            parts_.records.Excluded(place.SourcePath(), place.TargetPath());
        });
    return action == ItemAction::AddFile && AddSpelledAsListed(name, results, addedFolds, handOut);
}

void PooledFiles::HandleSourceFiles()
{
    // A level whose files make one piece gains nothing from a worker but the hand-over, unless it has
    // several files to copy that can go side by side (a few large ones, say).
    const std::size_t files = level_.source.files.size();
    if (files <= filesPerPiece && KnownCopies() < 2) {
        SerialLevel(parts_, level_).HandleSourceFiles();
        return;
    }
    // Pieces small enough to give every worker a share of a small level.
    const std::size_t shares = 2 * pool_.WorkerCount();
    const std::size_t pieceSize = std::clamp<std::size_t>((files + shares - 1) / shares, 1, filesPerPiece);
    OrderedResults results(pool_, pool_.WorkerCount() * piecesPerWorker);
    auto piece = std::make_shared<Piece>();
    const auto handOut = [&] {
        if (piece->empty())
            return;
        // What the foretelling needs is taken now: once handed out, the piece is the worker's.
        const PooledFile& first = piece->front();
        const bool knownNewer = first.comparedAhead && first.comparison == TwinComparison::SourceNewer;
        results.Post([this, piece] { CompareAndCopy(*piece); }, [this, piece] { RecordFiles(*piece); },
                     [this, name = first.name, twin = first.twin, knownNewer] {
                         ForetellFirstFile(*name, twin, knownNewer);
                     });
        piece = std::make_shared<Piece>();
    };
    std::set<std::string> addedFolds;
    for (const std::string& name : level_.source.files) {
        PooledFile file;
        const bool taken = TakeSourceFile(name, file, results, addedFolds, handOut, piece->empty());
        // An add dealt with here goes on to the next file at once.
        const bool mayStop = taken || file.twin;
        if (taken) {
            piece->push_back(std::move(file));
            if (piece->size() == pieceSize)
                handOut();
        }
        if (mayStop && parts_.IsStopped())
            break;
    }
    handOut();
    results.CollectAll();
}

} // namespace twinfol
