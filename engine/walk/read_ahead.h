// The workers read the listings of twin folder pairs ahead of the walk, the pair the walk reaches
// soonest first: a pair's twin sub-folders come before its later siblings, as in the walk. Reading
// only reads: the walk still decides, asks and records everything itself, in its own order. A pair no
// worker has begun when the walk reaches it is read by the walk, as with one job.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/work_pool.h"
#include "engine/walk/walk_level.h"

namespace twinfol {

struct ListedPair {
    enum class State { Waiting, Claimed, Done, Taken, Dropped };

    // Where the pair comes in the walk: its index among its level's twin sub-folders, level by level.
    std::vector<std::uint32_t> position;
    std::string name;
    std::string sourceDir;
    std::string targetDir;
    // Guarded by the read-ahead's lock; the rest is written by whoever claimed the pair.
    State state = State::Waiting;
    Listing source;
    Listing target;
    FsStatus sourceListed;
    FsStatus targetListed;
    bool targetRead = false;
    std::optional<std::set<std::string>> newerTwins;
    // Made by the worker that read the pair; from then on waiting to be read in their turn.
    std::optional<std::vector<std::shared_ptr<ListedPair>>> twinPairs;
};

// What reading a pair needs, safe on any worker.
struct PairReader {
    FileSystem& fileSystem;
    TrashFolderFilter& trashFolders;
    const ItemRules& rules;
    const StopFlag& stop;

    // Lists both folders of the pair, compares their twin files and makes the pairs of their twin
    // sub-folders.
    void Read(ListedPair& pair) const;
    // The pairs of twin sub-folders of two listed folders, in walk order, those the walk does not go
    // down into left out.
    std::vector<std::shared_ptr<ListedPair>> TwinPairsOf(const ListedPair* parent,
                                                         const std::string& sourceDir,
                                                         const std::string& targetDir, const Listing& source,
                                                         const Listing& target) const;
};

class TwinPairs;

class ReadAhead {
public:
    ReadAhead(PairReader reader, WorkPool& pool);
    // Drops every pair not taken and waits for the reads under way.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The pairs of the level's twin sub-folders, waiting to be read.
    TwinPairs TwinsOf(Level& level);
    // Moves the pair's listings into the level, waiting for the worker reading them; false when no
    // worker has begun, and the walk reads the pair itself.
    bool Take(ListedPair& pair, Level& level, FsStatus& sourceListed, FsStatus& targetListed,
              bool& targetRead);
    // A pair the walk will not take (a stop, or a name the walk left out after all), with every pair
    // below it that was made.
    void Drop(ListedPair& pair);

private:
    // Pairs wait in walk order; a folder the walk reached under another spelling numbers its twins
    // afresh, so the pair itself tells apart two of the same position.
    using WaitingKey = std::pair<std::vector<std::uint32_t>, const ListedPair*>;
    static WaitingKey KeyOf(const ListedPair& pair);

    // What the read tasks handed to the pool share with this object; it outlives it.
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        std::map<WaitingKey, std::shared_ptr<ListedPair>> waiting;
        // Pairs claimed or read and not yet taken or dropped: each holds its two folders open.
        std::size_t held = 0;
        // Read tasks handed to the pool and not yet ended.
        std::size_t tasks = 0;
        std::size_t reading = 0;
        // The pair the walk sleeps for, if any.
        const ListedPair* awaited = nullptr;
        bool closed = false;
    };

    // Hands the pool read tasks for the pairs waiting, as far as the room left allows; under the lock.
    void HandOut();
    static void HandOut(const std::shared_ptr<Shared>& shared, const PairReader& reader, WorkPool& pool,
                        std::size_t most);
    // Under the lock.
    void DropHeld(ListedPair& pair);
    // Under the lock: until a worker is done with the pair the walk reached.
    void WaitWhileClaimed(ListedPair& pair, std::unique_lock<std::mutex>& lock);
    // A read task: claims the most urgent pair waiting and reads it, a few times over.
    static void ReadSome(const std::shared_ptr<Shared>& shared, const PairReader& reader, WorkPool& pool,
                         std::size_t most);
    // Under the lock: the pair a read takes next, claimed; null when none may be read now.
    static std::shared_ptr<ListedPair> ClaimNext(Shared& shared, const PairReader& reader, std::size_t most);
    // Under the lock: a read is over, and the walk may take the pair.
    static void FinishRead(Shared& shared, ListedPair& pair);

    const PairReader reader_;
    WorkPool& pool_;
    const std::size_t most_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

// The twin sub-folder pairs of one level, taken in walk order; those passed by or left are dropped.
class TwinPairs {
public:
    TwinPairs(ReadAhead& ahead, std::vector<std::shared_ptr<ListedPair>> pairs)
        : ahead_(ahead), pairs_(std::move(pairs))
    {
    }
    ~TwinPairs();
    TwinPairs(const TwinPairs&) = delete;
    TwinPairs& operator=(const TwinPairs&) = delete;

    // The pair of the twin sub-folder the walk goes down into now; null when it has none.
    std::shared_ptr<ListedPair> Take(const std::string& name);

private:
    ReadAhead& ahead_;
    std::vector<std::shared_ptr<ListedPair>> pairs_;
    std::size_t next_ = 0;
};

} // namespace twinfol
