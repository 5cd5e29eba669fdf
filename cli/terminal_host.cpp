// Forwarding progress and questions, keeping the progress line out of a question's way.
#include "cli/terminal_host.h"

namespace twinfol::cli {

void TerminalHost::SetProgressText(const std::string& text)
{
    if (progress_ != nullptr)
        progress_->Show(text);
}

ConfirmAnswer TerminalHost::Ask(const ConfirmQuestion& question)
{
    if (progress_ != nullptr)
        progress_->Clear();
    return asker_.Ask(question);
}

} // namespace twinfol::cli
