// The "Select Files" chooser of the exclusions dialog on a real folder: every file, with or without
// a dot in its name, and every folder is listed, and a folder can be opened.
#include "app/exclusion_file_chooser.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFileDialog>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

#include "support/temp_tree.h"

namespace twinfol {
namespace {

// The view the chooser shows (list or details) and the names it lists in its current folder.
QAbstractItemView* ShownView(QFileDialog& dialog)
{
    for (auto* view : dialog.findChildren<QAbstractItemView*>())
        if (view->isVisible() && (view->objectName() == "listView" || view->objectName() == "treeView"))
            return view;
    return nullptr;
}

QStringList ListedNames(QAbstractItemView& view)
{
    QStringList names;
    const QModelIndex root = view.rootIndex();
    for (int row = 0; row < view.model()->rowCount(root); ++row)
        names.append(view.model()->index(row, 0, root).data().toString());
    names.sort();
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

    auto* filters = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(filters, nullptr);
    EXPECT_EQ(filters->currentText(), QStringLiteral("All Files (*.*)"));
    QAbstractItemView* view = ShownView(dialog);
    ASSERT_NE(view, nullptr);
    const QStringList everything{".hidden", "Makefile", "README", "keep", "notes.txt"};
    EXPECT_TRUE(QTest::qWaitFor([&] { return ListedNames(*view) == everything; }, 10000))
        << ListedNames(*view).join(QLatin1Char(' ')).toStdString();

    // The folder is there to be opened, not greyed out.
    const QModelIndex root = view->rootIndex();
    QModelIndex keep;
    for (int row = 0; row < view->model()->rowCount(root); ++row)
        if (view->model()->index(row, 0, root).data().toString() == "keep")
            keep = view->model()->index(row, 0, root);
    ASSERT_TRUE(keep.isValid());
    EXPECT_TRUE(view->model()->flags(keep).testFlag(Qt::ItemIsEnabled));
    view->setFocus();
    view->setCurrentIndex(keep);
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ListedNames(*view) == QStringList{"inner.txt"}; }, 10000));
    EXPECT_EQ(dialog.directory().absolutePath().toStdString() + "/", tree.Path("keep/"));
}

} // namespace
} // namespace twinfol
