// Reading listings ahead of the walk: one lock over the pairs waiting, claimed and read; read tasks
// handed to the pool each claim the most urgent pair waiting when they begin.
#include "engine/walk/sync_engine_ahead.h"

namespace twinfol {
namespace {

// Pairs read ahead per worker and not yet taken, at all depths together.
constexpr std::size_t pairsPerWorker = 8;

} // namespace

SyncEngine::ReadAhead::WaitingKey SyncEngine::ReadAhead::KeyOf(const ListedPair& pair)
{
    return {pair.position, &pair};
}

SyncEngine::ReadAhead::ReadAhead(SyncEngine& engine, WorkPool& pool, const SyncOptions& options)
    : engine_(engine), pool_(pool), options_(options), most_(pool.WorkerCount() * pairsPerWorker)
{
}

SyncEngine::ReadAhead::~ReadAhead()
{
    std::unique_lock lock(shared_->mutex);
    shared_->closed = true;
    for (auto& [key, pair] : shared_->waiting)
        pair->state = ListedPair::State::Dropped;
    shared_->waiting.clear();
    // A read under way uses the engine and the options.
    shared_->changed.wait(lock, [this] { return shared_->reading == 0; });
}

std::vector<std::shared_ptr<SyncEngine::ListedPair>>
SyncEngine::TwinPairsOf(const ListedPair* parent, const std::string& sourceDir, const std::string& targetDir,
                        const Listing& source, const Listing& target) const
{
    std::vector<std::shared_ptr<ListedPair>> pairs;
    std::uint32_t index = 0;
    for (const std::string& name : source.folders) {
        if (!target.folders.contains(name))
            continue;
        auto pair = std::make_shared<ListedPair>();
        pair->sourceDir = FolderPath(sourceDir, name);
        pair->targetDir = FolderPath(targetDir, name);
        if (IsExcluded(pair->sourceDir) || IsExcluded(pair->targetDir))
            continue;
        if (parent != nullptr)
            pair->position = parent->position;
        pair->position.push_back(index++);
        pair->name = name;
        pairs.push_back(std::move(pair));
    }
    return pairs;
}

void SyncEngine::ReadPairAhead(ListedPair& pair, const SyncOptions& options)
{
    // As SynchronisePair lists them: the target only when the source could be listed.
    pair.sourceListed = ListInto(pair.sourceDir, pair.source);
    if (!pair.sourceListed || IsStopped())
        return;
    pair.targetRead = true;
    pair.targetListed = ListInto(pair.targetDir, pair.target);
    if (!pair.targetListed || IsStopped())
        return;
    std::set<std::string> newer;
    std::optional<FileStamp> sourceStamp;
    std::optional<FileStamp> targetStamp;
    for (const std::string& name : pair.source.files)
        if (pair.target.files.contains(name) &&
            CompareStamps(pair.source, pair.sourceDir, pair.target, pair.targetDir, name, {}, options,
                          sourceStamp, targetStamp))
            newer.insert(name);
    pair.newerTwins = std::move(newer);
    if (options.checkSubFolders)
        pair.twinPairs = TwinPairsOf(&pair, pair.sourceDir, pair.targetDir, pair.source, pair.target);
}

SyncEngine::TwinPairs SyncEngine::ReadAhead::TwinsOf(Level& level)
{
    if (level.pair && level.pair->twinPairs)
        return TwinPairs(*this, std::move(*level.pair->twinPairs));
    std::vector<std::shared_ptr<ListedPair>> pairs =
        engine_.TwinPairsOf(level.pair.get(), level.sourceDir, level.targetDir, level.source, level.target);
    {
        const std::lock_guard lock(shared_->mutex);
        for (const std::shared_ptr<ListedPair>& pair : pairs)
            shared_->waiting.emplace(KeyOf(*pair), pair);
        HandOut();
    }
    return TwinPairs(*this, std::move(pairs));
}

void SyncEngine::ReadAhead::HandOut()
{
    HandOut(shared_, engine_, pool_, options_, most_);
}

void SyncEngine::ReadAhead::HandOut(const std::shared_ptr<Shared>& shared, SyncEngine& engine, WorkPool& pool,
                                    const SyncOptions& options, std::size_t most)
{
    // One task per pair waiting, as long as the pairs held and the tasks queued leave room.
    while (!shared->closed && shared->queued < shared->waiting.size() &&
           shared->held + shared->queued < most) {
        ++shared->queued;
        pool.Post([shared, &engine, &pool, &options, most] { ReadOne(shared, engine, pool, options, most); });
    }
}

void SyncEngine::ReadAhead::ReadOne(const std::shared_ptr<Shared>& sharedPtr, SyncEngine& engine,
                                    WorkPool& pool, const SyncOptions& options, std::size_t most)
{
    Shared& shared = *sharedPtr;
    std::shared_ptr<ListedPair> pair;
    {
        const std::lock_guard lock(shared.mutex);
        --shared.queued;
        if (shared.closed || shared.waiting.empty() || shared.held >= most || engine.IsStopped())
            return;
        pair = std::move(shared.waiting.begin()->second);
        shared.waiting.erase(shared.waiting.begin());
        pair->state = ListedPair::State::Claimed;
        ++shared.held;
        ++shared.reading;
    }
    engine.ReadPairAhead(*pair, options);
    const std::lock_guard lock(shared.mutex);
    --shared.reading;
    if (pair->state == ListedPair::State::Dropped || shared.closed) {
        --shared.held;
        pair->state = ListedPair::State::Dropped;
    } else {
        pair->state = ListedPair::State::Done;
        if (pair->twinPairs)
            for (const std::shared_ptr<ListedPair>& twin : *pair->twinPairs)
                shared.waiting.emplace(KeyOf(*twin), twin);
    }
    shared.changed.notify_all();
    // The pairs just made may be read next.
    HandOut(sharedPtr, engine, pool, options, most);
}

bool SyncEngine::ReadAhead::Take(ListedPair& pair, Level& level, FsStatus& sourceListed,
                                 FsStatus& targetListed, bool& targetRead)
{
    {
        std::unique_lock lock(shared_->mutex);
        if (pair.state == ListedPair::State::Waiting) {
            shared_->waiting.erase(KeyOf(pair));
            pair.state = ListedPair::State::Taken;
            return false;
        }
        shared_->changed.wait(lock, [&] { return pair.state != ListedPair::State::Claimed; });
        if (pair.state != ListedPair::State::Done)
            return false;
        pair.state = ListedPair::State::Taken;
        --shared_->held;
        HandOut();
    }
    level.source = std::move(pair.source);
    level.target = std::move(pair.target);
    level.newerTwins = std::move(pair.newerTwins);
    sourceListed = std::move(pair.sourceListed);
    targetListed = std::move(pair.targetListed);
    targetRead = pair.targetRead;
    return true;
}

void SyncEngine::ReadAhead::Drop(ListedPair& pair)
{
    const std::lock_guard lock(shared_->mutex);
    DropHeld(pair);
    HandOut();
}

void SyncEngine::ReadAhead::DropHeld(ListedPair& pair)
{
    switch (pair.state) {
    case ListedPair::State::Waiting: shared_->waiting.erase(KeyOf(pair)); break;
    case ListedPair::State::Done:
        --shared_->held;
        if (pair.twinPairs)
            for (const std::shared_ptr<ListedPair>& twin : *pair.twinPairs)
                DropHeld(*twin);
        break;
    case ListedPair::State::Claimed: break; // The worker lets it go when it is done.
    case ListedPair::State::Taken:
    case ListedPair::State::Dropped: return;
    }
    pair.state = ListedPair::State::Dropped;
}

SyncEngine::TwinPairs::~TwinPairs()
{
    for (; next_ < pairs_.size(); ++next_)
        ahead_.Drop(*pairs_[next_]);
}

std::shared_ptr<SyncEngine::ListedPair> SyncEngine::TwinPairs::Take(const std::string& name)
{
    // The walk goes down in the same byte order the pairs were made in; one it passes by it never takes.
    for (; next_ < pairs_.size() && pairs_[next_]->name < name; ++next_)
        ahead_.Drop(*pairs_[next_]);
    if (next_ < pairs_.size() && pairs_[next_]->name == name)
        return pairs_[next_++];
    return nullptr;
}

} // namespace twinfol
