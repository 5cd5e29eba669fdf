// Reading listings ahead of the walk: one lock over the pairs waiting, claimed and read; read tasks
// handed to the pool each claim the most urgent pair waiting when they begin.
#include "engine/walk/read_ahead.h"

namespace twinfol {
namespace {

// Pairs read ahead per worker and not yet taken, at all depths together.
constexpr std::size_t pairsPerWorker = 8;

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
    // One task per pair waiting, as long as the pairs held and the tasks queued leave room.
    while (!shared->closed && shared->queued < shared->waiting.size() &&
           shared->held + shared->queued < most) {
        ++shared->queued;
        pool.Post([shared, &reader, &pool, most] { ReadOne(shared, reader, pool, most); });
    }
}

void ReadAhead::ReadOne(const std::shared_ptr<Shared>& sharedPtr, const PairReader& reader, WorkPool& pool,
                        std::size_t most)
{
    Shared& shared = *sharedPtr;
    std::shared_ptr<ListedPair> pair;
    {
        const std::lock_guard lock(shared.mutex);
        --shared.queued;
        if (shared.closed || shared.waiting.empty() || shared.held >= most ||
            reader.stop.load(std::memory_order_relaxed))
            return;
        pair = std::move(shared.waiting.begin()->second);
        shared.waiting.erase(shared.waiting.begin());
        pair->state = ListedPair::State::Claimed;
        ++shared.held;
        ++shared.reading;
    }
    reader.Read(*pair);
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
