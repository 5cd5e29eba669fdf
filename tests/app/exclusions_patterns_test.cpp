// The Exclusions dialog's ignore patterns, size limits and delete box through the real widgets: what
// each pattern matches in real folders (counted while the window stays usable), patterns added,
// replaced and removed, what is refused, and the settings reaching the job and a saved profile.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "app/exclusions_dialog.h"
#include "gui/main_dialog_fixture.h"
#include "profile/profile.h"

using namespace twinfol;
using namespace twinfol::test;

namespace {

IgnoreSettings Patterns(std::initializer_list<const char*> texts)
{
    IgnoreSettings ignoring;
    for (const char* text : texts)
        ignoring.patterns.push_back({text, "job.twp"});
    return ignoring;
}

class ExclusionsPatternsTest : public MainDialogTest {
protected:
    void SetUp() override
    {
        disk.WriteFile("one/a.tmp", "1");
        disk.WriteFile("one/b.tmp", "2");
        disk.WriteFile("one/src/c.tmp", "3");
        disk.WriteFile("one/node_modules/x.tmp", "4");
        disk.WriteFile("one/node_modules/pkg/index.js", "5");
        disk.WriteFile("one/notes.txt", "6");
        disk.MakeFolder("two/node_modules");
        disk.WriteFile("two/a.tmp", "1");
    }

    std::unique_ptr<ExclusionsDialog> MakeDialog(IgnoreSettings ignoring)
    {
        auto dialog = std::make_unique<ExclusionsDialog>(
            nullptr, ExclusionList(), dialogs,
            ExclusionsSetup{std::move(ignoring), &faults, {disk.Path("one/"), disk.Path("two/")}, "job.twp"});
        dialog->show();
        return dialog;
    }

    // Each row of the pattern list as "pattern=matches".
    static std::vector<std::string> PatternRows(QDialog& dialog)
    {
        auto* list = dialog.findChild<QTreeWidget*>("patternList");
        std::vector<std::string> rows;
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            rows.push_back(list->topLevelItem(row)->text(0).toStdString() + "=" +
                           list->topLevelItem(row)->text(1).toStdString());
        return rows;
    }

    static bool WaitForCounts(ExclusionsDialog& dialog)
    {
        return QTest::qWaitFor([&] { return !dialog.IsCounting(); }, 20000);
    }

    static void Type(QDialog& dialog, const char* field, const QString& text)
    {
        auto* edit = dialog.findChild<QLineEdit*>(field);
        ASSERT_NE(edit, nullptr) << field;
        edit->setText(text);
    }

    static void Press(QDialog& dialog, const char* button)
    {
        auto* widget = dialog.findChild<QAbstractButton*>(button);
        ASSERT_NE(widget, nullptr) << button;
        widget->click();
    }

    static void Select(QDialog& dialog, int row)
    {
        auto* list = dialog.findChild<QTreeWidget*>("patternList");
        list->setCurrentItem(list->topLevelItem(row));
    }
};

TEST_F(ExclusionsPatternsTest, EachPatternShowsTheItemsItDecidesOnInBothLocations)
{
    auto dialog = MakeDialog(Patterns({"*.tmp", "node_modules/"}));
    ASSERT_TRUE(WaitForCounts(*dialog));
    // a.tmp, b.tmp and src/c.tmp (a.tmp in both folders counts once; x.tmp lies in an ignored folder),
    // and node_modules, in both folders.
    EXPECT_EQ(PatternRows(*dialog), (std::vector<std::string>{"*.tmp=3", "node_modules/=1"}));
    EXPECT_EQ(dialog->findChild<QLabel*>("countLabel")->text(),
              "Matches: the items in Location 1 and Location 2 that each pattern ignores.");

    // A later pattern takes its items from an earlier one; the figures follow every change.
    Type(*dialog, "patternEdit", "!b.tmp");
    QTest::mouseClick(dialog->findChild<QPushButton*>("addPatternButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitForCounts(*dialog));
    EXPECT_EQ(PatternRows(*dialog), (std::vector<std::string>{"*.tmp=2", "node_modules/=1", "!b.tmp=0"}));
    Select(*dialog, 1);
    QTest::mouseClick(dialog->findChild<QPushButton*>("removePatternButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitForCounts(*dialog));
    // With node_modules no longer ignored, the x.tmp inside it counts.
    EXPECT_EQ(PatternRows(*dialog), (std::vector<std::string>{"*.tmp=3", "!b.tmp=0"}));
}

// A listing that hangs holds neither the window nor a new count: the dialog takes new patterns at once,
// and the figures shown at the end are those of the list as it stands.
TEST_F(ExclusionsPatternsTest, ASlowListingLeavesTheDialogUsable)
{
    faults.Hold(FsOperation::List, disk.Path("one/src/"));
    auto dialog = MakeDialog(Patterns({"*.tmp"}));
    ASSERT_TRUE(faults.WaitUntilHeld(std::chrono::seconds(10)));
    EXPECT_TRUE(dialog->IsCounting());
    EXPECT_EQ(PatternRows(*dialog), std::vector<std::string>{"*.tmp=\u2026"});
    EXPECT_TRUE(dialog->findChild<QLabel*>("countLabel")->text().startsWith("Counting"));

    Type(*dialog, "patternEdit", "*.js");
    dialog->findChild<QLineEdit*>("patternEdit")->setFocus();
    QTest::keyClick(dialog->findChild<QLineEdit*>("patternEdit"), Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible()) << "Enter in the pattern field adds; it does not close the dialog";
    EXPECT_EQ(PatternRows(*dialog), (std::vector<std::string>{"*.tmp=\u2026", "*.js=\u2026"}));
    EXPECT_TRUE(dialog->IsCounting());
    faults.Release();
    ASSERT_TRUE(WaitForCounts(*dialog));
    EXPECT_EQ(PatternRows(*dialog), (std::vector<std::string>{"*.tmp=4", "*.js=1"}));
}

TEST_F(ExclusionsPatternsTest, RefusesALineThatIsNoPatternAndASizeThatIsNone)
{
    auto dialog = MakeDialog({});
    for (const char* line : {"", "   ", "# a comment"}) {
        Type(*dialog, "patternEdit", line);
        Press(*dialog, "addPatternButton");
    }
    ASSERT_EQ(dialogs.messages.size(), 3u);
    EXPECT_TRUE(dialogs.messages[2].startsWith("\"# a comment\" is no ignore pattern"))
        << dialogs.messages[2].toStdString();
    EXPECT_TRUE(PatternRows(*dialog).empty());

    // A bad size keeps the dialog open; so does a smallest size above the largest.
    dialog->findChild<QCheckBox*>("largerCheck")->click();
    Type(*dialog, "largerEdit", "lots");
    Press(*dialog, "okButton");
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(dialogs.messages.size(), 4u);
    EXPECT_TRUE(dialogs.messages[3].startsWith("\"lots\" is not a size"))
        << dialogs.messages[3].toStdString();
    Type(*dialog, "largerEdit", "1M");
    dialog->findChild<QCheckBox*>("smallerCheck")->click();
    Type(*dialog, "smallerEdit", "2M");
    Press(*dialog, "okButton");
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(dialogs.messages.size(), 5u);
    EXPECT_EQ(dialogs.messages[4].toStdString(),
              "Files smaller than 2 MiB and larger than 1 MiB are skipped, "
              "which leaves no file to synchronise: make the first size "
              "the smaller one");
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(ExclusionsPatternsTest, SizeLimitsAreShownByTheirNamesAndReadBackWhole)
{
    const IgnoreSettings start{{}, std::int64_t{100} << 20, 1536 * 1024, true};
    auto dialog = MakeDialog(start);
    EXPECT_TRUE(dialog->findChild<QCheckBox*>("largerCheck")->isChecked());
    EXPECT_EQ(dialog->findChild<QLineEdit*>("largerEdit")->text(), "100 MiB");
    EXPECT_EQ(dialog->findChild<QLineEdit*>("smallerEdit")->text(), "1536 KiB");
    EXPECT_TRUE(dialog->findChild<QCheckBox*>("deleteIgnoredCheck")->isChecked());
    Press(*dialog, "okButton");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->Ignoring(), start);

    // Typed the short way, a size is shown by its name once the field is left; a clear box drops it.
    dialog = MakeDialog(start);
    auto* larger = dialog->findChild<QLineEdit*>("largerEdit");
    larger->setFocus();
    larger->setText("1.5g");
    emit larger->editingFinished();
    EXPECT_EQ(larger->text(), "1536 MiB");
    dialog->findChild<QCheckBox*>("smallerCheck")->click();
    EXPECT_FALSE(dialog->findChild<QLineEdit*>("smallerEdit")->isEnabled());
    dialog->findChild<QCheckBox*>("deleteIgnoredCheck")->click();
    Press(*dialog, "okButton");
    EXPECT_EQ(dialog->Ignoring(), (IgnoreSettings{{}, std::int64_t{1536} << 20, std::nullopt, false}));
}

// Added, replaced in place and removed in the dialog, the patterns reach the job as the window holds
// it (and so its runs), mark the profile modified, and are in the profile file it saves.
TEST_F(ExclusionsPatternsTest, EditedPatternsReachTheJobAndASavedProfile)
{
    SetLocations(disk.Path("one/"), disk.Path("two/"));
    Open();
    dialogs.runAnswers = {QDialog::Accepted};
    dialogs.beforeRun = [this](QDialog& dialog) {
        for (const char* pattern : {"*.tmp", "cache/", "junk", "node_modules/"}) {
            Type(dialog, "patternEdit", pattern);
            Press(dialog, "addPatternButton");
        }
        Select(dialog, 1);
        EXPECT_EQ(dialog.findChild<QLineEdit*>("patternEdit")->text(), "cache/");
        Type(dialog, "patternEdit", "build/");
        Press(dialog, "replacePatternButton");
        Select(dialog, 2);
        Press(dialog, "removePatternButton");
        dialog.findChild<QCheckBox*>("largerCheck")->click();
        Type(dialog, "largerEdit", "100M");
        dialog.findChild<QCheckBox*>("deleteIgnoredCheck")->click();
        EXPECT_EQ(PatternRows(dialog).size(), 3u);
    };
    Click("exclusionsButton");
    const std::vector<IgnorePattern> expected{
        {"*.tmp", "this job"}, {"build/", "this job"}, {"node_modules/", "this job"}};
    const SyncOptions& options = window->CurrentProfile().options;
    EXPECT_EQ(options.ignorePatterns, expected);
    EXPECT_EQ(options.maxFileSize, std::int64_t{100} << 20);
    EXPECT_EQ(options.minFileSize, std::nullopt);
    EXPECT_TRUE(options.deleteIgnored);
    EXPECT_TRUE(window->CurrentProfile().modified);

    // Saving a job that has no file yet writes what the window holds: the settings are there too.
    const std::string path = disk.Path("job.twp");
    dialogs.saveAnswers.push_back(path);
    Click("saveAsButton");
    Profile saved;
    ASSERT_EQ(saved.ReadFile(posix, path).status, ProfileLoadStatus::Loaded);
    EXPECT_EQ(saved.options.ignorePatterns.size(), 3u);
    for (std::size_t place = 0; place < expected.size() && place < saved.options.ignorePatterns.size();
         ++place)
        EXPECT_EQ(saved.options.ignorePatterns[place].text, expected[place].text);
    EXPECT_EQ(saved.options.maxFileSize, options.maxFileSize);
    EXPECT_TRUE(saved.options.deleteIgnored);

    // Cancel changes nothing; a pattern typed once the job has its file is named after that file.
    dialogs.runAnswers = {QDialog::Rejected, QDialog::Accepted};
    dialogs.beforeRun = [this](QDialog& dialog) {
        Select(dialog, 0);
        Press(dialog, "removePatternButton");
        Type(dialog, "patternEdit", "*.bak");
        Press(dialog, "addPatternButton");
    };
    Click("exclusionsButton");
    EXPECT_EQ(window->CurrentProfile().options.ignorePatterns, expected);
    EXPECT_FALSE(window->CurrentProfile().modified);
    Click("exclusionsButton");
    EXPECT_EQ(window->CurrentProfile().options.ignorePatterns,
              (std::vector<IgnorePattern>{
                  {"build/", "this job"}, {"node_modules/", "this job"}, {"*.bak", "job.twp"}}));
    EXPECT_TRUE(Enabled("saveButton"));
}

} // namespace
