// Counts what each ignore pattern matches on a thread of its own, so that the Exclusions dialog stays
// responsive over a large tree or a slow disk; a newer count makes an older one's figures moot.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QObject>

#include "base/ignore_patterns.h"
#include "engine/fs/file_system.h"
#include "engine/walk/pattern_matches.h"

namespace twinfol {

class PatternCountTask : public QObject {
    Q_OBJECT

public:
    // Counts in the given folders (the job's locations, each ending with the separator or empty),
    // read through the layer.
    PatternCountTask(FileSystem& fileSystem, std::vector<std::string> folders, QObject* parent = nullptr);
    // Asks every count still under way to stop, and waits for it to end.
    ~PatternCountTask() override;

    // Starts counting the patterns. A count still under way is asked to stop and is not waited for:
    // a listing that hangs on a slow disk must not hold the window.
    void Start(std::vector<IgnorePattern> patterns);
    bool IsCounting() const { return counting_; }

signals:
    // The figures of the latest count, on the thread this object lives on.
    void Counted(const twinfol::PatternMatchCounts& counts);

private:
    struct Worker {
        std::jthread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void Deliver(std::uint64_t generation, PatternMatchCounts counts);
    // Joins the workers that have ended, which no longer costs a wait.
    void JoinEnded();

    FileSystem& fileSystem_;
    const std::vector<std::string> folders_;
    std::list<Worker> workers_;
    std::uint64_t generation_ = 0;
    bool counting_ = false;
};

} // namespace twinfol
