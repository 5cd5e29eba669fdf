// Measures how long the folder browser takes to open a folder of 10,000 sub-folders: the listing
// alone, and the listing with the items' insertion, layout and painting, by selection and by expansion.
// Built by hand against the libraries of a build (not part of the CMake build or of the tests):
//   g++ -std=c++20 -O2 -fPIC -I. bench/folder_browser_open.cpp build/libtwinfol_gui.a \
//       build/libtwinfol_settings.a build/libtwinfol_profile.a build/libtwinfol_engine.a \
//       build/libtwinfol_base.a $(pkg-config --cflags --libs Qt6Widgets) -o build/folder_browser_open
//   QT_QPA_PLATFORM=offscreen build/folder_browser_open     (or under xvfb-run)
#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/posix/posix_file_system.h"
#include "reports/folder_browser_dialog.h"
#include "reports/folder_listing.h"
#include "reports/folder_tree_item.h"

namespace {

constexpr int kFolderCount = 10000;
constexpr int kRepeats = 5;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string MakeWideFolder()
{
    std::string root = (std::filesystem::temp_directory_path() / "twinfol-bench-XXXXXX").string();
    if (mkdtemp(root.data()) == nullptr)
        std::exit(1);
    const std::string wide = root + "/Wide/";
    mkdir(wide.c_str(), 0755);
    for (int i = 0; i < kFolderCount; ++i)
        mkdir((wide + "folder-" + std::to_string(i)).c_str(), 0755);
    return root + "/";
}

QTreeWidgetItem* FindChild(QTreeWidgetItem* parent, const QString& text)
{
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == text)
            return parent->child(i);
    return nullptr;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    twinfol::PosixFileSystem fileSystem;
    const std::string root = MakeWideFolder();
    const std::string wide = root + "Wide/";

    std::vector<double> listing, bySelection, byExpansion;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        QElapsedTimer clock;
        clock.start();
        const auto entries = twinfol::ListSubFolders(fileSystem, wide);
        listing.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (entries.size() != static_cast<std::size_t>(kFolderCount))
            return 1;

        // Opening the browser at the folder: the walk selects it, which reads its 10,000 children.
        {
            twinfol::FolderBrowserDialog dialog(fileSystem);
            dialog.SetPath(wide);
            clock.restart();
            dialog.show();
            QApplication::processEvents();
            bySelection.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        // Opening at its parent, then expanding it: reading, inserting and showing 10,000 rows.
        {
            twinfol::FolderBrowserDialog dialog(fileSystem);
            dialog.SetPath(root);
            dialog.show();
            QApplication::processEvents();
            auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("folderTree"));
            QTreeWidgetItem* item = FindChild(tree->currentItem(), QStringLiteral("Wide"));
            if (item == nullptr)
                return 1;
            clock.restart();
            tree->expandItem(item);
            QApplication::processEvents();
            byExpansion.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            if (item->childCount() != kFolderCount)
                return 1;
        }
    }
    std::printf("%d sub-folders, median of %d runs (ms): listing %.1f, open at it (selection) %.1f, "
                "expand it %.1f\n",
                kFolderCount, kRepeats, Median(listing), Median(bySelection), Median(byExpansion));
    std::error_code error;
    std::filesystem::remove_all(root, error);
    return 0;
}
