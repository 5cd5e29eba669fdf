// What the engine needs from whoever runs it: a place to show progress and a person to ask.
#pragma once

#include <string>

#include "engine/records/copy_progress.h"
#include "engine/records/delete_confirmation.h"

namespace twinfol {

class SyncHost : public ConfirmationAsker {
public:
    // Shows one progress text; called often, so it must be cheap (a host may show only some texts).
    virtual void SetProgressText(const std::string& text) = 0;
    // Shows how far the run's copies have come: called after each chunk of a file's data and after
    // each file named in the target, so it must be cheap too. It is called from the thread of the copy
    // that advanced (a worker, a helper filling files ahead, or the engine thread), one call at a
    // time. A host without a use for it leaves it alone.
    virtual void ShowCopyProgress(const CopyCounters&) {}
    // Whether the host shows how far the copy of one file has come. A host that shows only whole
    // files lets a large file be copied in one call instead of in chunks of a few megabytes.
    virtual bool ShowsFileProgress() const { return true; }
};

} // namespace twinfol
