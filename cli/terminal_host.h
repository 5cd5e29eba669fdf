// The runner's host for the engine: progress on an optional progress line, questions at a terminal.
#pragma once

#include "cli/progress_line.h"
#include "cli/terminal_asker.h"
#include "engine/sync_host.h"

namespace twinfol::cli {

class TerminalHost : public SyncHost {
public:
    // progress may be null when standard error is not a terminal: then nothing is drawn.
    TerminalHost(ProgressLine* progress, TerminalAsker& asker) : progress_(progress), asker_(asker) {}

    void SetProgressText(const std::string& text) override;
    ConfirmAnswer Ask(const ConfirmQuestion& question) override;

private:
    ProgressLine* progress_;
    TerminalAsker& asker_;
};

} // namespace twinfol::cli
