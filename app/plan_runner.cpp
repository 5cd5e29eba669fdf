// The planning walk's thread and its hand-over of progress texts.
#include "app/plan_runner.h"

#include <QMetaObject>

namespace twinfol {

PlanRunner::PlanRunner(FileSystem& fileSystem, const UserPlaces& places, SyncRunState& runState,
                       QObject* parent)
    : QObject(parent), fileSystem_(fileSystem), places_(places), runState_(runState)
{
}

PlanRunner::~PlanRunner()
{
    if (thread_.joinable()) {
        runState_.RequestStop();
        thread_.join();
    }
}

void PlanRunner::Start(std::string source, std::string target, const SyncOptions& options,
                       ExclusionList exclusions)
{
    exclusions_ = std::move(exclusions);
    result_ = {};
    {
        std::lock_guard lock(progressMutex_);
        progressText_.clear();
        progressChanged_ = false;
    }
    thread_ = std::thread(&PlanRunner::Run, this, std::move(source), std::move(target), options);
}

void PlanRunner::Run(std::string source, std::string target, SyncOptions options)
{
    const auto onProgress = [this](const std::string& text) {
        {
            std::lock_guard lock(progressMutex_);
            progressText_ = text;
            progressChanged_ = true;
        }
        return !runState_.IsStopped();
    };
    result_ = MakeExplainedPlan(fileSystem_, source, target, options, exclusions_, onProgress, &places_);
    // A stop that came after the walk's last progress text still means the person wants no preview.
    if (runState_.IsStopped())
        result_.plan.complete = false;
    QMetaObject::invokeMethod(this, &PlanRunner::OnWalkReturned, Qt::QueuedConnection);
}

void PlanRunner::OnWalkReturned()
{
    thread_.join();
    emit Finished();
}

std::optional<std::string> PlanRunner::TakeProgressText()
{
    std::lock_guard lock(progressMutex_);
    if (!progressChanged_)
        return std::nullopt;
    progressChanged_ = false;
    return progressText_;
}

} // namespace twinfol
