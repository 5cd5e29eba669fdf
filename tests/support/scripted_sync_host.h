// A SyncHost for tests: answers delete questions from a script and records every question and
// progress text, so a test can check what the person would have been asked and shown.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/records/sync_host.h"

namespace twinfol::test {

class ScriptedSyncHost : public SyncHost {
public:
    ScriptedSyncHost() = default;
    explicit ScriptedSyncHost(std::deque<ConfirmAnswer> answers) : answers_(std::move(answers)) {}

    void SetProgressText(const std::string& text) override;
    // Takes the next scripted answer; with the script used up, a question is a test failure and
    // the answer is Cancel.
    ConfirmAnswer Ask(const ConfirmQuestion& question) override;

    void AddAnswer(ConfirmAnswer answer) { answers_.push_back(answer); }
    // Called after each progress text is recorded (for example to request a stop at a given point).
    void OnProgress(std::function<void(const std::string&)> callback) { onProgress_ = std::move(callback); }
    // Called with each question before it is answered, while the engine waits for the answer (for
    // example to change the disk at that moment).
    void OnQuestion(std::function<void(const ConfirmQuestion&)> callback)
    {
        onQuestion_ = std::move(callback);
    }

    const std::vector<ConfirmQuestion>& Questions() const { return questions_; }
    // The first line of every question, in the order asked.
    std::vector<std::string> QuestionLines() const;
    const std::vector<std::string>& ProgressTexts() const { return progressTexts_; }
    std::size_t AnswersLeft() const { return answers_.size(); }

private:
    std::deque<ConfirmAnswer> answers_;
    std::vector<ConfirmQuestion> questions_;
    std::vector<std::string> progressTexts_;
    std::function<void(const std::string&)> onProgress_;
    std::function<void(const ConfirmQuestion&)> onQuestion_;
};

} // namespace twinfol::test
