// The delete question as the person meets it: its texts and buttons, and what each answer (by
// button, Enter or Escape) does to the result and the to-all flags of a run.
#include "app/confirm_dialog.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "app/dialog_service.h"
#include "engine/delete_confirmation.h"
#include "engine/posix_file_system.h"
#include "gui/modal_helpers.h"

namespace twinfol {
namespace {

using test::ClickButton;
using test::ModalWatcher;
using test::PressKey;

ConfirmQuestion FileQuestion()
{
    return {"Delete File", {"Delete file: /srv/target/report.txt", "", "", ""}};
}

// The window's way of asking, as the engine's confirmation policy sees it.
class WindowAsker : public ConfirmationAsker {
public:
    explicit WindowAsker(QWidget* window) : window(window) {}
    ConfirmAnswer Ask(const ConfirmQuestion& question) override
    {
        return dialogs.AskDelete(window, question);
    }

private:
    QWidget* window;
    PosixFileSystem posix;
    DialogService dialogs{posix};
};

QString LabelText(QWidget& dialog, const char* name)
{
    auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("<missing>");
}

TEST(ConfirmDialog, ShowsCaptionLinesAndTheFiveAnswers)
{
    ConfirmDialog dialog;
    dialog.SetQuestion({"Delete Sub-Folder", {"Delete sub-folder: /srv/t/old", "two", "three", "four"}});
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Delete Sub-Folder"));
    EXPECT_EQ(LabelText(dialog, "line1Label"), QStringLiteral("Delete sub-folder: /srv/t/old"));
    EXPECT_EQ(LabelText(dialog, "line2Label"), QStringLiteral("two"));
    EXPECT_EQ(LabelText(dialog, "line3Label"), QStringLiteral("three"));
    EXPECT_EQ(LabelText(dialog, "line4Label"), QStringLiteral("four"));

    const std::pair<const char*, const char*> buttons[] = {{"yesButton", "&Yes"},
                                                           {"yesToAllButton", "Yes To &All"},
                                                           {"noButton", "&No"},
                                                           {"noToAllButton", "N&o To All"},
                                                           {"cancelButton", "&Cancel"}};
    for (const auto& [name, text] : buttons) {
        auto* button = dialog.findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->text(), QString::fromLatin1(text));
        EXPECT_EQ(button->isDefault(), std::string(name) == "yesButton") << name;
    }
}

TEST(ConfirmDialog, HasNoCloseBoxAndAFixedSize)
{
    ConfirmDialog dialog;
    dialog.SetQuestion(FileQuestion());
    dialog.show();
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
}

TEST(ConfirmDialog, UnaskedDialogShowsEmptyLinesAndAnswersCancel)
{
    ConfirmDialog dialog;
    EXPECT_EQ(LabelText(dialog, "line1Label"), QString());
    EXPECT_EQ(LabelText(dialog, "line4Label"), QString());
    EXPECT_EQ(dialog.Answer(), ConfirmAnswer::Cancel);
}

TEST(ConfirmDialog, LongPathKeepsItsEndVisibleAndTheWholeLineInTheToolTip)
{
    const std::string longPath = "Delete file: /srv/" + std::string(400, 'x') + "/the-file-name.txt";
    ConfirmDialog dialog;
    dialog.SetQuestion({"Delete File", {longPath, "", "", ""}});
    const QString shown = LabelText(dialog, "line1Label");
    EXPECT_NE(shown, QString::fromStdString(longPath));
    EXPECT_TRUE(shown.endsWith(QStringLiteral("the-file-name.txt"))) << shown.toStdString();
    EXPECT_EQ(dialog.Line(0), QString::fromStdString(longPath));
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("line1Label"))->toolTip(),
              QString::fromStdString(longPath));
}

// One way of answering, and what it must lead to.
struct AnswerCase {
    const char* how;
    std::function<void(QWidget&)> answer;
    ConfirmResult result;
    bool yesToAll;
    bool noToAll;
};

class DeleteConfirmationAnswers : public ::testing::TestWithParam<int> {};

std::vector<AnswerCase> AnswerCases()
{
    return {
        {"Yes button", [](QWidget& w) { ClickButton(w, "yesButton"); }, ConfirmResult::Delete, false, false},
        {"Yes To All button", [](QWidget& w) { ClickButton(w, "yesToAllButton"); }, ConfirmResult::Delete,
         true, false},
        {"No button", [](QWidget& w) { ClickButton(w, "noButton"); }, ConfirmResult::Skip, false, false},
        {"No To All button", [](QWidget& w) { ClickButton(w, "noToAllButton"); }, ConfirmResult::Skip, false,
         true},
        {"Cancel button", [](QWidget& w) { ClickButton(w, "cancelButton"); }, ConfirmResult::CancelRun, false,
         false},
        {"Enter", [](QWidget& w) { PressKey(w, Qt::Key_Return); }, ConfirmResult::Delete, false, false},
        {"Escape", [](QWidget& w) { PressKey(w, Qt::Key_Escape); }, ConfirmResult::CancelRun, false, false},
        // A window manager may still offer to close the window; that counts as Cancel too.
        {"Window closed", [](QWidget& w) { w.close(); }, ConfirmResult::CancelRun, false, false},
    };
}

TEST_P(DeleteConfirmationAnswers, MapToResultAndFlags)
{
    const AnswerCase testCase = AnswerCases().at(static_cast<std::size_t>(GetParam()));
    QWidget mainWindow;
    mainWindow.show();
    WindowAsker asker(&mainWindow);
    QString seenTitle;
    QWidget* seenParent = nullptr;
    ModalWatcher watcher([&](QWidget& dialog) {
        seenTitle = dialog.windowTitle();
        seenParent = dialog.parentWidget();
        testCase.answer(dialog);
    });
    bool yesToAll = false;
    bool noToAll = false;
    const ConfirmResult result = AskDeleteConfirmation(asker, FileQuestion(), yesToAll, noToAll);
    EXPECT_EQ(watcher.Seen(), 1) << testCase.how;
    EXPECT_EQ(seenTitle, QStringLiteral("Delete File"));
    EXPECT_EQ(seenParent, &mainWindow);
    EXPECT_EQ(result, testCase.result) << testCase.how;
    EXPECT_EQ(yesToAll, testCase.yesToAll) << testCase.how;
    EXPECT_EQ(noToAll, testCase.noToAll) << testCase.how;
}

INSTANTIATE_TEST_SUITE_P(EveryAnswer, DeleteConfirmationAnswers, ::testing::Range(0, 8));

TEST(DeleteConfirmation, ToAllAnswerSettlesLaterQuestionsWithoutShowingTheDialog)
{
    QWidget mainWindow;
    WindowAsker asker(&mainWindow);
    ModalWatcher watcher([](QWidget& dialog) { ClickButton(dialog, "noToAllButton"); });
    bool folderYesToAll = false;
    bool folderNoToAll = false;
    const ConfirmQuestion folder{"Delete Sub-Folder", {"Delete sub-folder: /t/a", "", "", ""}};
    EXPECT_EQ(AskDeleteConfirmation(asker, folder, folderYesToAll, folderNoToAll), ConfirmResult::Skip);
    EXPECT_EQ(AskDeleteConfirmation(asker, folder, folderYesToAll, folderNoToAll), ConfirmResult::Skip);
    EXPECT_EQ(watcher.Seen(), 1);

    // The file pair of flags is independent: the next file question is shown.
    bool fileYesToAll = false;
    bool fileNoToAll = false;
    AskDeleteConfirmation(asker, FileQuestion(), fileYesToAll, fileNoToAll);
    EXPECT_EQ(watcher.Seen(), 2);
}

} // namespace
} // namespace twinfol
