// Runs the engine on a thread of its own so that the window never freezes. Progress texts are kept
// for the window to pick up at a readable rate; delete questions are put to the window thread and the
// engine waits for the answer.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <QObject>

#include "engine/changes/run_undo.h"
#include "engine/fs/file_system.h"
#include "engine/records/exclusion_list.h"
#include "engine/records/sync_host.h"
#include "engine/records/sync_options.h"
#include "engine/records/sync_report.h"
#include "engine/records/sync_run_state.h"
#include "engine/records/user_places.h"

namespace twinfol {

class SyncWorker : public QObject, private SyncHost {
    Q_OBJECT

public:
    using QuestionHandler = std::function<ConfirmAnswer(const ConfirmQuestion&)>;

    // The worker lives on the window thread; questions are answered there by the handler. Runs keep
    // their journals and use the Trash at the places given.
    SyncWorker(FileSystem& fileSystem, const UserPlaces& places, SyncRunState& runState, SyncReport& report,
               QuestionHandler askOnWindow, QObject* parent = nullptr);
    ~SyncWorker() override;

    // Starts one run on the engine thread; Finished is emitted on the window thread when it is over.
    void Start(std::string source, std::string target, const SyncOptions& options, ExclusionList exclusions);
    // Starts the undo of a run into the target on the engine thread, ending like a run.
    void StartUndo(UndoableRun run, std::string target);

    // The newest progress text, when it changed since the last call.
    std::optional<std::string> TakeProgressText();
    // How far the run's copies have come, when that changed since the last call.
    std::optional<CopyCounters> TakeCopyCounters();

signals:
    void Finished();

private:
    void SetProgressText(const std::string& text) override;
    void ShowCopyProgress(const CopyCounters& counters) override;
    ConfirmAnswer Ask(const ConfirmQuestion& question) override;
    ConfirmAnswer AskOnWindow(const ConfirmQuestion& question);
    void Run(std::string source, std::string target, SyncOptions options);
    void Undo(UndoableRun run, std::string target);
    void OnEngineReturned();

    FileSystem& fileSystem_;
    const UserPlaces& places_;
    SyncRunState& runState_;
    SyncReport& report_;
    QuestionHandler askOnWindow_;
    ExclusionList exclusions_;
    std::thread thread_;
    std::mutex progressMutex_;
    std::string progressText_;
    bool progressChanged_ = false;
    CopyCounters counters_;
    bool countersChanged_ = false;
    std::atomic<bool> abandoned_{false};
};

} // namespace twinfol
