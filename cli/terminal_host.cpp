// Forwarding progress and questions, keeping the progress line out of a question's way.
#include "cli/terminal_host.h"

#include "cli/text_encoding.h"

namespace twinfol::cli {
namespace {

// Every progress text but the checks ("Checking file: ", "Checking folder: ") starts an action.
bool IsAction(const std::string& text)
{
    return !text.starts_with("Checking ");
}

} // namespace

void TerminalHost::SetProgressText(const std::string& text)
{
    if (actions_ != nullptr && IsAction(text)) {
        if (display_ != nullptr)
            display_->PrintLine(text);
        else
            *actions_ << ForTerminal(text) << '\n' << std::flush;
    }
    if (display_ != nullptr)
        display_->SetOperation(text);
}

void TerminalHost::ShowCopyProgress(const CopyCounters& counters)
{
    if (display_ != nullptr)
        display_->SetCounters(counters);
}

ConfirmAnswer TerminalHost::Ask(const ConfirmQuestion& question)
{
    if (display_ == nullptr)
        return asker_.Ask(question);
    display_->Clear();
    display_->PauseRate();
    const ConfirmAnswer answer = asker_.Ask(question);
    display_->ResumeRate();
    return answer;
}

} // namespace twinfol::cli
