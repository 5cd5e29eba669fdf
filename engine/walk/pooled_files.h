// Carries out the file decisions of a level with the pool's workers: they compare twin files, copy
// and delete, while the engine thread decides the adds, asks the delete questions and records each
// piece of work in its place in the walk, so that the report, the problem log and the progress texts
// come out as the engine thread alone would give them.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "base/work_pool.h"
#include "engine/walk/ordered_results.h"
#include "engine/walk/walk_level.h"

namespace twinfol {

class PooledFiles {
public:
    PooledFiles(WalkParts& parts, Level& level, WorkPool& pool) : parts_(parts), level_(level), pool_(pool) {}

    void HandleSourceFiles();

private:
    // One source file of a level, as a worker left it.
    struct PooledFile {
        const std::string* name = nullptr;
        bool twin = false;
        // Whether a worker compared the twin ahead of the walk, leaving the comparison as it found it.
        bool comparedAhead = false;
        bool started = false;
        TwinComparison comparison = TwinComparison::Unreadable;
        // For a twin, what the worker decided once it had compared it; an add is decided already.
        ItemAction action = ItemAction::AddFile;
        ChangeResult copied;
        CopyTally tally;
    };
    using Piece = std::vector<PooledFile>;

    // The copies of the piece, once its twins are compared, filled ahead where the layer can.
    std::unique_ptr<PreparedCopies> PrepareCopies(const Piece& piece) const;
    // On a worker: touches nothing of the level but its stamp readers.
    void CompareAndCopy(Piece& piece);
    void RecordFiles(Piece& piece);
    void RecordTwin(PooledFile& file);
    void ForetellFirstFile(const std::string& name, bool twin, bool knownNewer);
    // Copies a file once more, here, when a worker's copy of it found the disk full.
    ChangeResult CopyAgainIfCrowdedOut(const PooledFile& file);
    // The spelling check of an add on a target that may fold case, on this thread and after every add
    // whose name folds alike: true when the add goes ahead, else its outcome is handled or recorded.
    bool AddSpelledAsListed(const std::string& name, OrderedResults& results,
                            std::set<std::string>& addedFolds, const std::function<void()>& handOut);
    // The files a level copies as far as the walk knows before comparing: its adds, and the twins a
    // worker found newer ahead of the walk.
    std::size_t KnownCopies() const;
    // Whether the file joins a piece of work; false when it was dealt with here.
    bool TakeSourceFile(const std::string& name, PooledFile& file, OrderedResults& results,
                        std::set<std::string>& addedFolds, const std::function<void()>& handOut,
                        bool pieceEmpty);

    WalkParts& parts_;
    Level& level_;
    WorkPool& pool_;
};

// Pieces handed out per worker and not yet recorded.
inline constexpr std::size_t piecesPerWorker = 4;

} // namespace twinfol
