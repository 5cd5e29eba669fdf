// The delete question as the person meets it: its texts and buttons, and what each answer (by
// button, Enter or Escape) does to the result and the to-all flags of a run.
#include "app/confirm_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "app/dialog_service.h"
#include "engine/posix/posix_file_system.h"
#include "engine/records/delete_confirmation.h"
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

QPlainTextEdit& QuestionText(QWidget& dialog)
{
    auto* text = dialog.findChild<QPlainTextEdit*>(QStringLiteral("questionText"));
    EXPECT_NE(text, nullptr);
    return *text;
}

// How many lines the text takes on screen once wrapped.
int WrappedLines(QPlainTextEdit& text)
{
    int lines = 0;
    for (QTextBlock block = text.document()->begin(); block.isValid(); block = block.next())
        lines += block.layout()->lineCount();
    return lines;
}

TEST(ConfirmDialog, ShowsCaptionLinesAndTheFiveAnswers)
{
    ConfirmDialog dialog;
    dialog.SetQuestion({"Delete Sub-Folder", {"Delete sub-folder: /srv/t/old", "two", "three", "four"}});
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Delete Sub-Folder"));
    EXPECT_EQ(QuestionText(dialog).toPlainText(),
              QStringLiteral("Delete sub-folder: /srv/t/old\ntwo\nthree\nfour"));
    EXPECT_EQ(WrappedLines(QuestionText(dialog)), 4);
    EXPECT_EQ(QuestionText(dialog).verticalScrollBar()->maximum(), 0); // four lines fit

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
    EXPECT_EQ(QuestionText(dialog).toPlainText(), QString());
    EXPECT_EQ(dialog.Answer(), ConfirmAnswer::Cancel);
}

TEST(ConfirmDialog, LongPathWrapsWholeAndNamesThatAreNotUtf8ShowTheirBytes)
{
    const std::string longPath = "Delete file: /srv/" + std::string(200, 'x') + "/caf\xE9.txt";
    ConfirmDialog dialog;
    dialog.SetQuestion({"Delete File", {longPath, "", "", ""}});
    dialog.show();
    QPlainTextEdit& text = QuestionText(dialog);
    const QString shown = QString::fromStdString(longPath.substr(0, longPath.size() - 8)) + "caf\\xe9.txt";
    EXPECT_EQ(text.toPlainText(), shown); // nothing cut out, the stray byte visible
    EXPECT_GT(WrappedLines(text), 1);
    EXPECT_EQ(text.verticalScrollBar()->maximum(), 0);
    ConfirmDialog other;
    other.SetQuestion({"Delete File", {"Delete file: /t/caf\xE8.txt", "", "", ""}});
    EXPECT_EQ(QuestionText(other).toPlainText(), QStringLiteral("Delete file: /t/caf\\xe8.txt"));

    // The keyboard reaches the text and copies it, and Enter still answers Yes.
    text.setFocus();
    QTest::keyClick(&text, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&text, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), shown);
    QTest::keyClick(&text, Qt::Key_Return);
    EXPECT_EQ(dialog.Answer(), ConfirmAnswer::Yes);

    // Longer than four lines: the room stays the same and the rest is scrolled to, never lost.
    const QSize room = text.size();
    dialog.SetQuestion({"Delete File", {"Delete file: /" + std::string(2000, 'z'), "", "", ""}});
    EXPECT_EQ(text.size(), room);
    EXPECT_GT(text.verticalScrollBar()->maximum(), 0);
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
