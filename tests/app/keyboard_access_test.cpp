// The windows as a keyboard or screen-reader user meets them: a unique mnemonic for each control
// that has one, labels that lead to their fields, a name for every control that takes the focus, and
// Enter pressing the focused button.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "app/about_dialog.h"
#include "app/confirm_dialog.h"
#include "app/exclusions_dialog.h"
#include "gui/main_dialog_fixture.h"
#include "gui/modal_helpers.h"

using namespace twinfol;
using namespace twinfol::test;

namespace {

// The letter after a single "&", lower case; nothing when the text has none ("&&" is a plain "&").
QChar Mnemonic(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] != QLatin1Char('&'))
            return text[i + 1].toLower();
        ++i;
    }
    return {};
}

QString CaptionOf(QWidget* widget)
{
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return group->title();
    return {};
}

// Checks that no two controls of the window share a mnemonic, that every label with one leads to a
// field, and that each caption reads as expected once its "&" is taken out. Returns the captions
// found with their mnemonics, by object name.
std::map<QString, QString> CheckMnemonics(QWidget& window, const std::map<QString, QString>& expectedTexts)
{
    std::map<QChar, QString> owners;
    std::map<QString, QString> captions;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        const QString caption = CaptionOf(widget);
        const QChar letter = Mnemonic(caption);
        if (letter.isNull())
            continue;
        captions[widget->objectName()] = caption;
        const auto [owner, inserted] = owners.emplace(letter, widget->objectName());
        EXPECT_TRUE(inserted) << window.windowTitle().toStdString() << ": '" << QString(letter).toStdString()
                              << "' of " << widget->objectName().toStdString() << " is also that of "
                              << owner->second.toStdString();
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_NE(label->buddy(), nullptr) << widget->objectName().toStdString();
        }
    }
    for (const auto& [name, expected] : expectedTexts) {
        auto* widget = window.findChild<QWidget*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        const QString shown = widget != nullptr ? CaptionOf(widget) : QStringLiteral("<missing>");
        EXPECT_EQ(QString(shown).remove(QLatin1Char('&')), expected) << name.toStdString();
    }
    return captions;
}

// Every control the Tab key reaches has a name a screen reader can say, and no two share one.
void CheckAccessibleNames(QWidget& window)
{
    std::set<QString> names;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!(widget->focusPolicy() & Qt::TabFocus) || widget->focusProxy() != nullptr ||
            !widget->isVisibleTo(&window))
            continue;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr) << widget->objectName().toStdString();
        const QString name = accessible->text(QAccessible::Name);
        EXPECT_FALSE(name.isEmpty()) << window.windowTitle().toStdString() << ": "
                                     << widget->metaObject()->className() << " "
                                     << widget->objectName().toStdString() << " has no name";
        EXPECT_TRUE(names.insert(name).second)
            << window.windowTitle().toStdString() << ": the name \"" << name.toStdString() << "\" of "
            << widget->objectName().toStdString() << " is taken twice";
    }
}

TEST_F(MainDialogTest, EveryControlHasAUniqueMnemonicOrNameAndTheTextsKeepTheirWords)
{
    Open();
    const std::map<QString, QString> expected = {
        {"profileLabel", "Profile"},
        {"openButton", "Open"},
        {"saveButton", "Save"},
        {"saveAsButton", "Save As"},
        {"location1Label", "Location 1"},
        {"browse1Button", "Browse"},
        {"location2Label", "Location 2"},
        {"browse2Button", "Browse"},
        {"deleteMissingCheck", "Delete files/folders found in target but not found in source"},
        {"addMissingCheck", "Add new files/folders found in source and not found in target"},
        {"confirmDeletesCheck", "Ask for confirmation on all deletes"},
        {"checkSubFoldersCheck", "Check sub-folders"},
        {"autoStartCheck", "Auto Start"},
        {"direction1To2Radio", "Location1 ==> Location2"},
        {"direction2To1Radio", "Location1 <== Location2"},
        {"exclusionsButton", "Exclusions"},
        {"lastReportButton", "Last Report"},
        {"location1To2Button", "Location 1 ==>> Location 2"},
        {"location2To1Button", "Location 1 <<== Location 2"},
        {"executionLabel", "Execution"},
        {"aboutButton", "About"},
        {"helpButton", "Help"},
        {"stopButton", "Stop"},
        {"exitButton", "Exit"}};
    const std::map<QString, QString> captions = CheckMnemonics(*window, expected);
    // The radio pair is reached from "Auto Start" with Tab and moved with the arrow keys; every other
    // control above has a letter of its own.
    EXPECT_EQ(captions.size(), expected.size() - 2);
    CheckAccessibleNames(*window);
    EXPECT_EQ(Find<QWidget>("location1Combo")->accessibleName(), "Location 1");
    EXPECT_EQ(Find<QWidget>("executionEdit")->accessibleName(), "Execution");
}

TEST_F(MainDialogTest, SecondaryWindowsHaveUniqueMnemonicsAndNames)
{
    Open();
    ExclusionsDialog exclusions(window.get(), ExclusionList(), dialogs);
    const std::map<QString, QString> exclusionTexts = {{"okButton", "OK"},
                                                       {"cancelButton", "Cancel"},
                                                       {"selectFilesButton", "Select Files"},
                                                       {"selectFoldersButton", "Select Folders"},
                                                       {"removeButton", "Remove"}};
    EXPECT_EQ(CheckMnemonics(exclusions, exclusionTexts).size(), exclusionTexts.size());
    CheckAccessibleNames(exclusions);

    AboutDialog about(window.get(), QIcon());
    EXPECT_EQ(CheckMnemonics(about, {{"okButton", "OK"}}).size(), 1u);
    CheckAccessibleNames(about);

    ConfirmDialog confirm(window.get());
    confirm.SetQuestion({"Delete File", {"Delete file: /t/a.txt", "", "", ""}});
    EXPECT_EQ(CheckMnemonics(confirm, {}).size(), 5u);
    CheckAccessibleNames(confirm);
}

TEST_F(MainDialogTest, MnemonicsReachTheirControls)
{
    settings.WriteRegString("Location1A", "/a/");
    Open();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_2, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>("location2Combo"));
    QTest::keyClick(window.get(), Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>("location1Combo"));
    QTest::keyClick(window.get(), Qt::Key_E, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>("executionEdit"));
    // A button's mnemonic clicks it, after showing it pressed for a moment.
    dialogs.browseAnswers.push_back(std::nullopt);
    QTest::keyClick(window.get(), Qt::Key_W, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !dialogs.browseCaptions.empty(); }, 5000));
    EXPECT_EQ(dialogs.browseCaptions, std::vector<QString>{"Select Folder Location 2"});
}

TEST_F(MainDialogTest, EnterPressesAFocusedRunButtonAndOtherwiseExits)
{
    disk.WriteFile("one/new.txt", "1");
    disk.MakeFolder("two");
    SetLocations(disk.Path("one/"), disk.Path("two/"));
    SetOptions(1, 0, 0, 1);
    Open();
    Find<QWidget>("location1To2Button")->setFocus();
    PressKey(*window, Qt::Key_Return);
    EXPECT_TRUE(WaitForRunEnd());
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(dialogs.reports.size(), 1u);
    EXPECT_TRUE(disk.Exists("two/new.txt"));
    EXPECT_EQ(Setting("Location1B"), "<missing>"); // nothing stored yet

    // Away from the buttons, Enter is "Exit" again: the settings are stored and the window closes.
    Find<QWidget>("deleteMissingCheck")->setFocus();
    PressKey(*window, Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(Setting("Location1B"), "");
    EXPECT_EQ(dialogs.reports.size(), 1u);
}

class LocationKeys : public MainDialogTest {
protected:
    QComboBox* OpenWithFiveLocations()
    {
        for (const char* letter : {"A", "B", "C", "D", "E"})
            settings.WriteRegString(std::string("Location1") + letter, std::string("/") + letter + "/");
        Open();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        auto* combo = Find<QComboBox>("location1Combo");
        combo->setFocus();
        return combo;
    }
    const std::vector<std::string> unchanged{"/A/", "/B/", "/C/", "/D/", "/E/"};
};

TEST_F(LocationKeys, ArrowKeysWalkTheClosedListAndTheRowIsChosenOnLeaving)
{
    QComboBox* combo = OpenWithFiveLocations();
    for (int step = 0; step < 3; ++step)
        QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_EQ(combo->currentText(), "/C/");
    EXPECT_EQ(History(LocationSide::Location1), unchanged);
    EXPECT_FALSE(window->CurrentProfile().modified);

    Find<QWidget>("browse1Button")->setFocus();
    EXPECT_EQ(History(LocationSide::Location1),
              (std::vector<std::string>{"/C/", "/A/", "/B/", "/D/", "/E/"}));
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(window->CurrentProfile().location1, "/C/");
    EXPECT_TRUE(window->CurrentProfile().modified);
}

TEST_F(LocationKeys, APickFromTheDroppedListIsChosenAtOnceAndEnterExitsWithTheRowShown)
{
    QComboBox* combo = OpenWithFiveLocations();
    combo->showPopup();
    ASSERT_TRUE(QTest::qWaitFor([&] { return combo->view()->isVisible(); }, 5000));
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Return);
    EXPECT_EQ(History(LocationSide::Location1),
              (std::vector<std::string>{"/C/", "/A/", "/B/", "/D/", "/E/"}));
    EXPECT_EQ(window->CurrentProfile().location1, "/C/");

    // Enter on the list is "Exit": the row the keys moved to is chosen before the settings are stored.
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_End);
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(Setting("Location1A"), "/E/");
    EXPECT_EQ(Setting("Location1B"), "/C/");
}

} // namespace
