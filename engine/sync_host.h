// What the engine needs from whoever runs it: a place to show progress and a person to ask.
#pragma once

#include <string>

#include "engine/delete_confirmation.h"

namespace twinfol {

class SyncHost : public ConfirmationAsker {
public:
    // Shows one progress text; called often, so it must be cheap (a host may show only some texts).
    virtual void SetProgressText(const std::string& text) = 0;
};

} // namespace twinfol
