// The mapping from an answer to what the engine does, with the to-all bookkeeping.
#include "engine/records/delete_confirmation.h"

namespace twinfol {

ConfirmResult AskDeleteConfirmation(ConfirmationAsker& asker, const ConfirmQuestion& question, bool& yesToAll,
                                    bool& noToAll)
{
    if (yesToAll)
        return ConfirmResult::Delete;
    if (noToAll)
        return ConfirmResult::Skip;
    switch (asker.Ask(question)) {
    case ConfirmAnswer::Yes: return ConfirmResult::Delete;
    case ConfirmAnswer::YesToAll: yesToAll = true; return ConfirmResult::Delete;
    case ConfirmAnswer::No: return ConfirmResult::Skip;
    case ConfirmAnswer::NoToAll: noToAll = true; return ConfirmResult::Skip;
    case ConfirmAnswer::Cancel: break;
    }
    return ConfirmResult::CancelRun;
}

} // namespace twinfol
