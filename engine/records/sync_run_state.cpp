// The run state's reset for a new run.
#include "engine/records/sync_run_state.h"

namespace twinfol {

void SyncRunState::ResetForRun()
{
    stopRequested.store(false);
    fileYesToAll = false;
    fileNoToAll = false;
    folderYesToAll = false;
    folderNoToAll = false;
}

} // namespace twinfol
