// The folder browser on real temporary trees: its top level, the lazy reading of folders, the walk
// to a starting path written in another case, links, unreadable folders, and what OK and Cancel give.
#include "reports/folder_browser_dialog.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "engine/posix/posix_file_system.h"
#include "gui/modal_helpers.h"
#include "reports/folder_tree_item.h"
#include "support/temp_tree.h"

namespace twinfol {
namespace {

using test::ClickButton;
using test::ModalWatcher;
using test::PressKey;

class FolderBrowser : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree.MakeFolder("Data/Work/Inner/Deep");
        tree.MakeFolder("Data/Empty");
        tree.MakeFolder("Data/.hidden");
        tree.WriteFile("Data/notes.txt", "x");
        tree.MakeFolder("Stick/Photos/2024");
        dialog.SetVolumes({{tree.Path("Stick/"), "HOLIDAY"}});
    }

    // Opens the browser at the starting path and returns its tree.
    QTreeWidget& Open(const std::string& startPath)
    {
        dialog.SetCaption(QStringLiteral("Select Folder Location 1"));
        dialog.SetPath(startPath);
        dialog.show();
        QApplication::processEvents();
        auto* folderTree = dialog.findChild<QTreeWidget*>(QStringLiteral("folderTree"));
        EXPECT_NE(folderTree, nullptr);
        return *folderTree;
    }

    FolderTreeItem* Current(QTreeWidget& folders) { return FolderTreeItem::From(folders.currentItem()); }

    static QStringList ChildNames(QTreeWidgetItem* item)
    {
        QStringList names;
        for (int i = 0; i < item->childCount(); ++i)
            names.append(item->child(i)->text(0));
        return names;
    }

    test::TempTree tree;
    PosixFileSystem fs;
    FolderBrowserDialog dialog{fs};
};

TEST_F(FolderBrowser, OpensOnTheComputerNodeHoldingTheRootAndTheVolumesWithHomeAfterThem)
{
    QTreeWidget& folders = Open("");
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select folder"));
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("captionLabel"))->text(),
              QStringLiteral("Select Folder Location 1"));
    EXPECT_TRUE(folders.hasFocus() || dialog.focusWidget() == &folders);
    QTreeWidgetItem* computer = folders.topLevelItem(0);
    ASSERT_NE(computer, nullptr);
    EXPECT_EQ(computer->text(0), QStringLiteral("Computer"));
    EXPECT_FALSE(FolderTreeItem::From(computer)->HasPath());
    EXPECT_TRUE(computer->isExpanded());
    EXPECT_EQ(folders.currentItem(), computer);
    EXPECT_EQ(ChildNames(computer), (QStringList{"/", "HOLIDAY"}));
    EXPECT_EQ(FolderTreeItem::From(folders.topLevelItem(1))->Path(), QDir::homePath().toStdString() + "/");
    // Only the computer node has been read: the root waits for its first expansion or selection.
    EXPECT_EQ(computer->child(0)->childCount(), 0);
    EXPECT_EQ(dialog.Path(), "");
}

TEST_F(FolderBrowser, StartingPathInAnotherCaseSelectsTheFolderAsTheDiskSpellsIt)
{
    QTreeWidget& folders = Open(tree.Path("data/WORK"));
    FolderTreeItem* work = Current(folders);
    ASSERT_NE(work, nullptr);
    EXPECT_EQ(work->text(0), QStringLiteral("Work"));
    EXPECT_EQ(dialog.Path(), tree.Path("Data/Work/"));
    // Its ancestors are open, it stays closed, and its children are already there.
    EXPECT_TRUE(work->parent()->isExpanded());
    EXPECT_FALSE(work->isExpanded());
    EXPECT_TRUE(work->ChildrenRead());
    EXPECT_EQ(ChildNames(work), QStringList{"Inner"});
    // Read lazily: one level below the selection nothing has been read yet.
    EXPECT_FALSE(FolderTreeItem::From(work->child(0))->ChildrenRead());
    EXPECT_EQ(work->child(0)->childCount(), 0);
    EXPECT_TRUE(folders.viewport()->rect().intersects(folders.visualItemRect(work)));
}

TEST_F(FolderBrowser, AVolumeShowsItsLabelAndGivesItsPath)
{
    // A starting path on the volume is walked from the volume's own entry.
    QTreeWidget& folders = Open(tree.Path("stick/photos/2024"));
    EXPECT_EQ(dialog.Path(), tree.Path("Stick/Photos/2024/"));
    QTreeWidgetItem* volume = folders.topLevelItem(0)->child(1);
    EXPECT_EQ(Current(folders)->parent()->parent(), volume);
    EXPECT_EQ(volume->toolTip(0).toStdString(), tree.Path("Stick/"));

    folders.setCurrentItem(volume);
    EXPECT_EQ(dialog.Path(), tree.Path("Stick/"));
    EXPECT_EQ(ChildNames(volume), QStringList{"Photos"});
}

TEST_F(FolderBrowser, StartingPathInTheWrongCaseFindsTheSiblingThatHoldsTheRest)
{
    // "DATA" comes first in the tree and matches "data" too, but holds no "work".
    tree.MakeFolder("DATA/other");
    QTreeWidget& folders = Open(tree.Path("data/WORK"));
    EXPECT_EQ(dialog.Path(), tree.Path("Data/Work/"));
    EXPECT_EQ(Current(folders)->Name(), "Work");
    EXPECT_EQ(Current(folders)->parent()->text(0), QStringLiteral("Data"));
}

TEST_F(FolderBrowser, ExpandingReadsChildrenOnceEvenAfterSelection)
{
    QTreeWidget& folders = Open(tree.Path("Data"));
    FolderTreeItem* data = Current(folders);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(ChildNames(data), (QStringList{".hidden", "Empty", "Work"}));
    folders.expandItem(data);
    folders.collapseItem(data);
    folders.expandItem(data);
    EXPECT_EQ(ChildNames(data), (QStringList{".hidden", "Empty", "Work"}));

    // Expanding without selecting reads too, and an empty folder loses its expand mark.
    QTreeWidgetItem* empty = data->child(1);
    EXPECT_EQ(empty->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    folders.expandItem(empty);
    EXPECT_EQ(empty->childCount(), 0);
    EXPECT_EQ(empty->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
    EXPECT_EQ(folders.currentItem(), data);
}

TEST_F(FolderBrowser, PathNamingAFileStopsAtItsFolder)
{
    QTreeWidget& folders = Open(tree.Path("data/NOTES.txt"));
    EXPECT_EQ(Current(folders)->text(0), QStringLiteral("Data"));
    EXPECT_EQ(dialog.Path(), tree.Path("Data/"));
}

TEST_F(FolderBrowser, MissingLastFolderWalksNothing)
{
    QTreeWidget& folders = Open(tree.Path("Data/Missing"));
    EXPECT_EQ(folders.currentItem(), folders.topLevelItem(0));
    EXPECT_EQ(dialog.Path(), tree.Path("Data/Missing"));
}

TEST_F(FolderBrowser, ExactSpellingWinsOverACaseInsensitiveMatch)
{
    tree.MakeFolder("Data/work");
    QTreeWidget& folders = Open(tree.Path("Data/work"));
    EXPECT_EQ(dialog.Path(), tree.Path("Data/work/"));
    EXPECT_EQ(Current(folders)->Name(), "work");
}

TEST_F(FolderBrowser, LinksToFoldersCanBeChosenButLoopsAreNotOpened)
{
    tree.MakeSymlink("Data/BackUp", tree.Path("Data"));
    tree.MakeSymlink("Data/WorkLink", tree.Path("Data/Work"));
    QTreeWidget& folders = Open(tree.Path("Data/BackUp"));
    FolderTreeItem* loop = Current(folders);
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->Kind(), FolderItemKind::LinkToFolder);
    EXPECT_EQ(dialog.Path(), tree.Path("Data/BackUp/"));
    folders.expandItem(loop);
    EXPECT_EQ(loop->childCount(), 0);

    dialog.SelectPath(tree.Path("Data/WorkLink"));
    FolderTreeItem* link = Current(folders);
    EXPECT_EQ(link->text(0), QStringLiteral("WorkLink"));
    EXPECT_EQ(ChildNames(link), QStringList{"Inner"});
    EXPECT_EQ(dialog.Path(), tree.Path("Data/WorkLink/"));
}

TEST_F(FolderBrowser, FolderThatVanishedShowsNoChildren)
{
    QTreeWidget& folders = Open(tree.Path("Data"));
    QTreeWidgetItem* work = Current(folders)->child(2);
    ASSERT_EQ(work->text(0), QStringLiteral("Work"));
    // Gone between being listed and being opened: reading it fails.
    std::filesystem::remove_all(tree.Path("Data/Work"));
    folders.expandItem(work);
    EXPECT_EQ(work->childCount(), 0);
    EXPECT_EQ(work->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

TEST_F(FolderBrowser, FolderWithoutReadPermissionShowsNoChildren)
{
    QTreeWidget& folders = Open(tree.Path("Data"));
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not keep the superuser out";
    tree.MakeFolder("Data/Empty/Locked/Inside");
    tree.SetMode("Data/Empty/Locked", 0);
    dialog.SelectPath(tree.Path("Data/Empty/Locked"));
    EXPECT_EQ(Current(folders)->text(0), QStringLiteral("Locked"));
    EXPECT_EQ(Current(folders)->childCount(), 0);
}

TEST_F(FolderBrowser, OkGivesTheSelectedFolderEndingInASlash)
{
    ModalWatcher watcher([](QWidget& window) { ClickButton(window, "okButton"); });
    EXPECT_EQ(FolderBrowserDialog::Browse(fs, nullptr, QStringLiteral("Pick"), tree.Path("Data/Work")),
              tree.Path("Data/Work/"));
    EXPECT_EQ(FolderBrowserDialog::Browse(fs, nullptr, QStringLiteral("Pick"), ""), "/");
    // A starting path that cannot be walked comes back as given, completed.
    EXPECT_EQ(FolderBrowserDialog::Browse(fs, nullptr, QStringLiteral("Pick"), "/no/such/folder"),
              "/no/such/folder/");
    EXPECT_EQ(watcher.Seen(), 3);
}

TEST_F(FolderBrowser, SelectingTheRootAndPressingEnterGivesASingleSlash)
{
    ModalWatcher watcher([](QWidget& window) {
        auto* folders = window.findChild<QTreeWidget*>(QStringLiteral("folderTree"));
        folders->setCurrentItem(folders->topLevelItem(0)->child(0));
        // Back on the computer node: the path stays that of the root.
        folders->setCurrentItem(folders->topLevelItem(0));
        PressKey(window, Qt::Key_Return);
    });
    EXPECT_EQ(FolderBrowserDialog::Browse(fs, nullptr, QStringLiteral("Pick"), tree.Path("Data")), "/");
}

TEST_F(FolderBrowser, CancelAndEscapeGiveNothing)
{
    {
        ModalWatcher cancel([](QWidget& window) { ClickButton(window, "cancelButton"); });
        EXPECT_EQ(FolderBrowserDialog::Browse(fs, nullptr, QStringLiteral("Pick"), tree.Path("Data")),
                  std::nullopt);
    }
    ModalWatcher escape([](QWidget& window) { PressKey(window, Qt::Key_Escape); });
    EXPECT_EQ(FolderBrowserDialog::Browse(fs, nullptr, QStringLiteral("Pick"), tree.Path("Data")),
              std::nullopt);
}

} // namespace
} // namespace twinfol
