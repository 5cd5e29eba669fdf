// The runner's host for the engine: progress on an optional progress line, each action listed when
// asked to (-v), and delete questions at the controlling terminal.
#pragma once

#include <ostream>

#include "cli/progress_display.h"
#include "cli/terminal_asker.h"
#include "engine/records/sync_host.h"

namespace twinfol::cli {

class TerminalHost : public SyncHost {
public:
    // display is null when no progress line is drawn (standard error is no terminal, or -q); actions
    // is where each action is listed, null unless -v was given. With a progress line, actions are
    // printed above it.
    TerminalHost(ProgressDisplay* display, std::ostream* actions, TerminalAsker& asker)
        : display_(display), actions_(actions), asker_(asker)
    {
    }

    void SetProgressText(const std::string& text) override;
    void ShowCopyProgress(const CopyCounters& counters) override;
    bool ShowsFileProgress() const override { return display_ != nullptr; }
    ConfirmAnswer Ask(const ConfirmQuestion& question) override;

private:
    ProgressDisplay* display_;
    std::ostream* actions_;
    TerminalAsker& asker_;
};

} // namespace twinfol::cli
