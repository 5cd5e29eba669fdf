// Reading listings ahead of the walk: one lock over the pairs waiting, claimed and read; read tasks
// handed to the pool each claim the most urgent pair waiting when they begin.
#include "engine/walk/read_ahead.h"

#include <algorithm>

namespace twinfol {
namespace {

// Pairs read ahead per worker and not yet taken, at all depths together.
constexpr std::size_t pairsPerWorker = 8;
// Pairs one read task reads before it goes back to the end of the pool's queue.
constexpr std::size_t pairsPerTask = 4;

} // namespace

ReadAhead::WaitingKey ReadAhead::KeyOf(const ListedPair& pair)
{
    return {pair.position, &pair};
}

ReadAhead::ReadAhead(PairReader reader, WorkPool& pool)
    : reader_(reader), pool_(pool), most_(pool.WorkerCount() * pairsPerWorker)
{
}

ReadAhead::~ReadAhead()
{
    std::unique_lock lock(shared_->mutex);
    shared_->closed = true;
    for (auto& [key, pair] : shared_->waiting)
        pair->state = ListedPair::State::Dropped;
    shared_->waiting.clear();
    // A read under way uses the reader.
    shared_->changed.wait(lock, [this] { return shared_->reading == 0; });
}

std::vector<std::shared_ptr<ListedPair>>
PairReader::TwinPairsOf(const ListedPair* parent, const std::string& sourceDir, const std::string& targetDir,
                        const Listing& source, const Listing& target) const
{
    std::vector<std::shared_ptr<ListedPair>> pairs;
    std::uint32_t index = 0;
    for (const std::string& name : source.folders) {
        if (!target.folders.contains(name) ||
            rules.ForTwinFolder({sourceDir, targetDir, name}) != ItemAction::Descend)
            continue;
        auto pair = std::make_shared<ListedPair>();
        pair->sourceDir = sourceDir + name + pathSeparator;
        pair->targetDir = targetDir + name + pathSeparator;
        if (parent != nullptr)
            pair->position = parent->position;
        pair->position.push_back(index++);
        pair->name = name;
        pairs.push_back(std::move(pair));
    }
    return pairs;
}

void PairReader::Read(ListedPair& pair) const
{
    // As the walk lists them: the target only when the source could be listed.
    pair.sourceListed = ListLevelSide(fileSystem, trashFolders, stop, pair.sourceDir, pair.source);
    if (!pair.sourceListed || stop.load(std::memory_order_relaxed))
        return;
    pair.targetRead = true;
    pair.targetListed = ListLevelSide(fileSystem, trashFolders, stop, pair.targetDir, pair.target);
    if (!pair.targetListed || stop.load(std::memory_order_relaxed))
        return;
    std::set<std::string> newer;
    for (const std::string& name : pair.source.files)
        if (pair.target.files.contains(name) &&
            CompareTwinFiles(fileSystem, rules, pair.source, pair.sourceDir, pair.target, pair.targetDir,
                             name, {})
                    .comparison == TwinComparison::SourceNewer)
            newer.insert(name);
    pair.newerTwins = std::move(newer);
    if (rules.WalksSubFolders())
        pair.twinPairs = TwinPairsOf(&pair, pair.sourceDir, pair.targetDir, pair.source, pair.target);
}

TwinPairs ReadAhead::TwinsOf(Level& level)
{
    if (level.pair && level.pair->twinPairs)
        return TwinPairs(*this, std::move(*level.pair->twinPairs));
    std::vector<std::shared_ptr<ListedPair>> pairs =
        reader_.TwinPairsOf(level.pair.get(), level.sourceDir, level.targetDir, level.source, level.target);
    {
        const std::lock_guard lock(shared_->mutex);
        for (const std::shared_ptr<ListedPair>& pair : pairs)
            shared_->waiting.emplace(KeyOf(*pair), pair);
        HandOut();
    }
    return TwinPairs(*this, std::move(pairs));
}

void ReadAhead::HandOut()
{
    HandOut(shared_, reader_, pool_, most_);
}

void ReadAhead::HandOut(const std::shared_ptr<Shared>& shared, const PairReader& reader, WorkPool& pool,
                        std::size_t most)
{
    // A task reads pair after pair, so tasks are handed out only to bring the workers reading up to one
    // per pair waiting, at most one per worker, as long as the pairs held leave room.
    if (shared->closed)
        return; // The walk is over: the reader may be gone.
    const std::size_t readers = std::max<std::size_t>(pool.WorkerCount(), 1);
    while (shared->tasks < std::min(shared->waiting.size(), readers) && shared->held < most) {
        ++shared->tasks;
        pool.Post([shared, &reader, &pool, most] { ReadSome(shared, reader, pool, most); });
    }
}

std::shared_ptr<ListedPair> ReadAhead::ClaimNext(Shared& shared, const PairReader& reader, std::size_t most)
{
    if (shared.closed || shared.waiting.empty() || shared.held >= most ||
        reader.stop.load(std::memory_order_relaxed))
        return nullptr;
    std::shared_ptr<ListedPair> pair = std::move(shared.waiting.begin()->second);
    shared.waiting.erase(shared.waiting.begin());
    pair->state = ListedPair::State::Claimed;
    ++shared.held;
    ++shared.reading;
    return pair;
}

void ReadAhead::FinishRead(Shared& shared, ListedPair& pair)
{
    --shared.reading;
    if (pair.state == ListedPair::State::Dropped || shared.closed) {
        --shared.held;
        pair.state = ListedPair::State::Dropped;
    } else {
        pair.state = ListedPair::State::Done;
        if (pair.twinPairs)
            for (const std::shared_ptr<ListedPair>& twin : *pair.twinPairs)
                shared.waiting.emplace(KeyOf(*twin), twin);
    }
    // Only the walk waiting for this very pair, or the end waiting for every read, wants to know.
    if (shared.awaited == &pair || shared.closed)
        shared.changed.notify_all();
}

void ReadAhead::ReadSome(const std::shared_ptr<Shared>& sharedPtr, const PairReader& reader, WorkPool& pool,
                         std::size_t most)
{
    Shared& shared = *sharedPtr;
    std::unique_lock lock(shared.mutex);
    // A few pairs per task: the hand-over costs less against the reads, and the other work queued on the
    // pool (the copies of the level the walk is at) still comes between.
    for (std::size_t read = 0; read < pairsPerTask; ++read) {
        const std::shared_ptr<ListedPair> pair = ClaimNext(shared, reader, most);
        if (!pair)
            break;
        lock.unlock();
        reader.Read(*pair);
        lock.lock();
        FinishRead(shared, *pair);
    }
    --shared.tasks;
    // The pairs just made, or those left waiting, may be read next.
    HandOut(sharedPtr, reader, pool, most);
}

bool ReadAhead::Take(ListedPair& pair, Level& level, FsStatus& sourceListed, FsStatus& targetListed,
                     bool& targetRead)
{
    {
        std::unique_lock lock(shared_->mutex);
        if (pair.state == ListedPair::State::Waiting) {
            shared_->waiting.erase(KeyOf(pair));
            pair.state = ListedPair::State::Taken;
            return false;
        }
        WaitWhileClaimed(pair, lock);
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

void ReadAhead::WaitWhileClaimed(ListedPair& pair, std::unique_lock<std::mutex>& lock)
{
    // Rather than sleep until a worker is done with the pair, the walk reads the next pairs waiting
    // itself: time that would be lost becomes a read ahead, and the worker need not wake it.
    while (pair.state == ListedPair::State::Claimed) {
        const std::shared_ptr<ListedPair> other = ClaimNext(*shared_, reader_, most_);
        if (!other)
            break;
        lock.unlock();
        reader_.Read(*other);
        lock.lock();
        FinishRead(*shared_, *other);
    }
    shared_->awaited = &pair;
    shared_->changed.wait(lock, [&] { return pair.state != ListedPair::State::Claimed; });
    shared_->awaited = nullptr;
}

void ReadAhead::Drop(ListedPair& pair)
{
    const std::lock_guard lock(shared_->mutex);
    DropHeld(pair);
    HandOut();
}

void ReadAhead::DropHeld(ListedPair& pair)
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

TwinPairs::~TwinPairs()
{
    for (; next_ < pairs_.size(); ++next_)
        ahead_.Drop(*pairs_[next_]);
}

std::shared_ptr<ListedPair> TwinPairs::Take(const std::string& name)
{
    // The walk goes down in the same byte order the pairs were made in; one it passes by it never takes.
    for (; next_ < pairs_.size() && pairs_[next_]->name < name; ++next_)
        ahead_.Drop(*pairs_[next_]);
    if (next_ < pairs_.size() && pairs_[next_]->name == name)
        return pairs_[next_++];
    return nullptr;
}

} // namespace twinfol
