// The scripted host's bookkeeping.
#include "support/scripted_sync_host.h"

#include <gtest/gtest.h>

namespace twinfol::test {

void ScriptedSyncHost::SetProgressText(const std::string& text)
{
    progressTexts_.push_back(text);
    if (onProgress_)
        onProgress_(text);
}

ConfirmAnswer ScriptedSyncHost::Ask(const ConfirmQuestion& question)
{
    questions_.push_back(question);
    if (onQuestion_)
        onQuestion_(question);
    if (answers_.empty()) {
        ADD_FAILURE() << "unexpected question: " << question.lines[0];
        return ConfirmAnswer::Cancel;
    }
    const ConfirmAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

std::vector<std::string> ScriptedSyncHost::QuestionLines() const
{
    std::vector<std::string> lines;
    for (const ConfirmQuestion& question : questions_)
        lines.push_back(question.lines[0]);
    return lines;
}

} // namespace twinfol::test
