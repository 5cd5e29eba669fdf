// The engine thread of the window and its hand-over of progress texts and delete questions.
#include "app/sync_worker.h"

#include <chrono>
#include <future>
#include <memory>
#include <utility>

#include <QMetaObject>

#include "engine/walk/sync_engine.h"

namespace twinfol {

SyncWorker::SyncWorker(FileSystem& fileSystem, const UserPlaces& places, SyncRunState& runState,
                       SyncReport& report, QuestionHandler askOnWindow, QObject* parent)
    : QObject(parent), fileSystem_(fileSystem), places_(places), runState_(runState), report_(report),
      askOnWindow_(std::move(askOnWindow))
{
}

SyncWorker::~SyncWorker()
{
    // Reached mid-run only when the window is torn down without closing, which the close guard
    // keeps the person from doing. The engine then ends at its next stop test, and questions asked
    // meanwhile are answered with Cancel; questions not yet shown go with this object.
    if (thread_.joinable()) {
        abandoned_.store(true);
        runState_.RequestStop();
        thread_.join();
    }
}

void SyncWorker::Start(std::string source, std::string target, const SyncOptions& options,
                       ExclusionList exclusions)
{
    exclusions_ = std::move(exclusions);
    {
        std::lock_guard lock(progressMutex_);
        progressText_.clear();
        progressChanged_ = false;
        counters_ = {};
        countersChanged_ = false;
    }
    thread_ = std::thread(&SyncWorker::Run, this, std::move(source), std::move(target), options);
}

void SyncWorker::StartUndo(UndoableRun run, std::string target)
{
    {
        std::lock_guard lock(progressMutex_);
        progressText_.clear();
        progressChanged_ = false;
    }
    thread_ = std::thread(&SyncWorker::Undo, this, std::move(run), std::move(target));
}

void SyncWorker::Run(std::string source, std::string target, SyncOptions options)
{
    SyncEngine engine(fileSystem_, exclusions_, runState_, report_, *this);
    engine.SetUserPlaces(places_);
    engine.Run(source, target, options);
    QMetaObject::invokeMethod(this, &SyncWorker::OnEngineReturned, Qt::QueuedConnection);
}

void SyncWorker::Undo(UndoableRun run, std::string target)
{
    RunUndo(fileSystem_, places_, runState_, report_, *this, &std::chrono::system_clock::now)
        .Undo(run, target);
    QMetaObject::invokeMethod(this, &SyncWorker::OnEngineReturned, Qt::QueuedConnection);
}

void SyncWorker::OnEngineReturned()
{
    thread_.join();
    emit Finished();
}

std::optional<std::string> SyncWorker::TakeProgressText()
{
    std::lock_guard lock(progressMutex_);
    if (!progressChanged_)
        return std::nullopt;
    progressChanged_ = false;
    return progressText_;
}

std::optional<CopyCounters> SyncWorker::TakeCopyCounters()
{
    std::lock_guard lock(progressMutex_);
    if (!countersChanged_)
        return std::nullopt;
    countersChanged_ = false;
    return counters_;
}

// Called after every chunk and every file: the lock is held for a copy of four numbers only.
void SyncWorker::ShowCopyProgress(const CopyCounters& counters)
{
    std::lock_guard lock(progressMutex_);
    counters_ = counters;
    countersChanged_ = true;
}

void SyncWorker::SetProgressText(const std::string& text)
{
    std::lock_guard lock(progressMutex_);
    progressText_ = text;
    progressChanged_ = true;
}

ConfirmAnswer SyncWorker::Ask(const ConfirmQuestion& question)
{
    if (runState_.IsStopped())
        return ConfirmAnswer::Cancel;
    // The line names the item asked about while the question is open (the last item recorded may be
    // an earlier one), and shows what it showed before once it is answered.
    std::string shownBefore;
    {
        std::lock_guard lock(progressMutex_);
        shownBefore = std::exchange(progressText_, "Waiting for an answer: " + question.lines[0]);
        progressChanged_ = true;
    }
    const ConfirmAnswer answer = AskOnWindow(question);
    std::lock_guard lock(progressMutex_);
    progressText_ = std::move(shownBefore);
    progressChanged_ = true;
    return answer;
}

ConfirmAnswer SyncWorker::AskOnWindow(const ConfirmQuestion& question)
{
    // Not a blocking queued call: the window must stay free to tear the worker down while a question
    // is pending, and the engine then gives up waiting.
    auto answer = std::make_shared<std::promise<ConfirmAnswer>>();
    std::future<ConfirmAnswer> answered = answer->get_future();
    QMetaObject::invokeMethod(
        this, [this, question, answer] { answer->set_value(askOnWindow_(question)); }, Qt::QueuedConnection);
    while (answered.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        if (abandoned_.load())
            return ConfirmAnswer::Cancel;
    }
    return answered.get();
}

} // namespace twinfol
