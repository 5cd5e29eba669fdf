// A dialog service for window tests: records every message, report and question, and answers from
// scripts instead of showing anything.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QDialog>
#include <QThread>

#include "app/dialog_service.h"

namespace twinfol::test {

class ScriptedDialogs : public DialogService {
public:
    using DialogService::DialogService;

    void ShowMessage(QWidget*, const QString& text) override
    {
        messages.push_back(text);
        if (onMessage)
            onMessage(text);
    }
    // Answers from warningAnswers, and No (the default button) when none is left.
    bool AskWarning(QWidget*, const QString& text) override
    {
        warnings.push_back(text);
        if (warningAnswers.empty())
            return false;
        const bool answer = warningAnswers.front();
        warningAnswers.pop_front();
        return answer;
    }
    std::optional<std::string> BrowseFolder(QWidget*, const QString& caption,
                                            const std::string& start) override
    {
        browseCaptions.push_back(caption);
        browseStarts.push_back(start);
        return Next(browseAnswers);
    }
    std::optional<std::string> OpenProfileName(QWidget*, const std::string& start) override
    {
        fileDialogStarts.push_back(start);
        return Next(openAnswers);
    }
    std::optional<std::string> SaveProfileName(QWidget*, const std::string& start) override
    {
        fileDialogStarts.push_back(start);
        return Next(saveAnswers);
    }
    std::vector<std::string> ChooseFiles(QWidget*, const std::string& start) override
    {
        fileDialogStarts.push_back(start);
        if (chosenFiles.empty())
            return {};
        std::vector<std::string> chosen = chosenFiles.front();
        chosenFiles.pop_front();
        return chosen;
    }
    int Run(QDialog& dialog) override
    {
        dialogsRun.push_back(dialog.windowTitle());
        if (beforeRun)
            beforeRun(dialog);
        const int result = runAnswers.empty() ? QDialog::Rejected : runAnswers.front();
        if (!runAnswers.empty())
            runAnswers.pop_front();
        if (result == QDialog::Accepted)
            dialog.accept();
        else
            dialog.reject();
        return result;
    }
    bool OpenDocument(const std::string& path) override
    {
        documents.push_back(path);
        return true;
    }
    ConfirmAnswer AskDelete(QWidget*, const ConfirmQuestion& question) override
    {
        questions.push_back(question);
        questionThreads.push_back(QThread::currentThread());
        if (onQuestion)
            onQuestion();
        if (deleteAnswers.empty())
            return ConfirmAnswer::Cancel;
        const ConfirmAnswer answer = deleteAnswers.front();
        deleteAnswers.pop_front();
        return answer;
    }
    bool AskUndo(QWidget*, const QString& text) override
    {
        undoQuestions.push_back(text);
        const bool answer = !undoAnswers.empty() && undoAnswers.front();
        if (!undoAnswers.empty())
            undoAnswers.pop_front();
        return answer;
    }
    void ShowReport(QWidget*, const SyncReport& report, const std::string& source,
                    const std::string& target) override
    {
        reports.push_back(report);
        reportRoots.emplace_back(source, target);
    }

    std::vector<QString> messages;
    std::vector<QString> warnings;
    std::deque<bool> warningAnswers;
    std::function<void(const QString&)> onMessage;
    std::vector<QString> browseCaptions;
    std::vector<std::string> browseStarts;
    std::vector<std::string> fileDialogStarts;
    std::deque<std::optional<std::string>> browseAnswers;
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<ConfirmAnswer> deleteAnswers;
    std::deque<std::vector<std::string>> chosenFiles;
    std::deque<int> runAnswers;
    std::function<void(QDialog&)> beforeRun;
    std::vector<QString> dialogsRun;
    std::vector<std::string> documents;
    std::vector<ConfirmQuestion> questions;
    std::vector<QThread*> questionThreads;
    std::function<void()> onQuestion;
    std::vector<QString> undoQuestions;
    std::deque<bool> undoAnswers;
    std::vector<SyncReport> reports;
    std::vector<std::pair<std::string, std::string>> reportRoots;

private:
    template <typename T> static std::optional<std::string> Next(T& answers)
    {
        if (answers.empty())
            return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace twinfol::test
