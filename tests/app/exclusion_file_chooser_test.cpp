// The "Select Files" chooser of the exclusions dialog on a real folder: every file, with or without
// a dot in its name, and every folder is listed, and a folder can be opened. The profile dialogs start
// at the profile's open path, whatever folder the chooser visited last.
#include "app/exclusion_file_chooser.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFileDialog>
#include <QTest>

#include <gtest/gtest.h>

#include "app/dialog_service.h"
#include "engine/posix/posix_file_system.h"
#include "gui/modal_helpers.h"
#include "support/temp_tree.h"

namespace twinfol {
namespace {

// The names the chooser's view lists in its current folder, in its order.
QStringList Listed(QAbstractItemView& view)
{
    QStringList names;
    for (int row = 0; row < view.model()->rowCount(view.rootIndex()); ++row)
        names.append(view.model()->index(row, 0, view.rootIndex()).data().toString());
    return names;
}

TEST(ExclusionFileChooser, ListsEveryFileAndFolderAndOpensFolders)
{
    test::TempTree tree;
    for (const char* name : {"Makefile", "README", "notes.txt", ".hidden", "keep/inner.txt"})
        tree.WriteFile(name, "x");
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    PrepareExclusionFileChooser(dialog, tree.Path("notes.txt"));
    dialog.show();
    EXPECT_EQ(dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText(),
              "All Files (*.*)");
    auto* view = dialog.findChild<QAbstractItemView*>(QStringLiteral("treeView"));
    ASSERT_NE(view, nullptr);
    const QStringList everything{"keep", ".hidden", "Makefile", "notes.txt", "README"};
    EXPECT_TRUE(QTest::qWaitFor([&] { return Listed(*view) == everything; }, 10000))
        << Listed(*view).join(QLatin1Char(' ')).toStdString();

    // The folder opens, as it would with a double click.
    view->setFocus();
    view->setCurrentIndex(view->model()->index(0, 0, view->rootIndex()));
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Listed(*view) == QStringList{"inner.txt"}; }, 10000));
    EXPECT_EQ(dialog.directory().absolutePath().toStdString() + "/", tree.Path("keep/"));
}

// The folder each file dialog opened in, each dialog then cancelled.
struct FileDialogWatcher {
    std::vector<std::string> folders;
    test::ModalWatcher watcher{[this](QWidget& window) {
        auto* dialog = qobject_cast<QFileDialog*>(&window);
        ASSERT_NE(dialog, nullptr);
        folders.push_back(dialog->directory().absolutePath().toStdString() + "/");
        dialog->reject();
    }};
};

TEST(ProfileFileDialogs, StartAtTheOpenPathNotWhereAnExclusionWasChosen)
{
    test::TempTree tree;
    tree.WriteFile("profiles/job.twp", "x");
    tree.WriteFile("elsewhere/skip.txt", "x");
    PosixFileSystem posix;
    DialogService dialogs(posix);
    FileDialogWatcher seen;
    EXPECT_TRUE(dialogs.ChooseFiles(nullptr, tree.Path("elsewhere/skip.txt")).empty());
    EXPECT_FALSE(dialogs.SaveProfileName(nullptr, tree.Path("profiles/job.twp")));
    EXPECT_FALSE(dialogs.OpenProfileName(nullptr, tree.Path("profiles/job.twp")));
    // No open path yet: the home folder, not the folder last visited.
    EXPECT_FALSE(dialogs.SaveProfileName(nullptr, ""));
    const std::string home = QDir::homePath().toStdString() + "/";
    EXPECT_EQ(seen.folders, (std::vector<std::string>{tree.Path("elsewhere/"), tree.Path("profiles/"),
                                                      tree.Path("profiles/"), home}));
}

} // namespace
} // namespace twinfol
