// The folder picker: a caption, a lazily read tree of folders that opens at a starting path, "OK"
// and "Cancel". "OK" hands back the chosen folder's path ending in "/".
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/fs/file_system.h"
#include "reports/user_volumes.h"

class QTreeWidgetItem;

namespace Ui {
class FolderBrowserDialog;
}

namespace twinfol {

class FolderTreeItem;

class FolderBrowserDialog : public QDialog {
    Q_OBJECT

public:
    // Folders are read through the file-system layer.
    explicit FolderBrowserDialog(FileSystem& fileSystem, QWidget* parent = nullptr);
    ~FolderBrowserDialog() override;

    // Shows the browser modally, with the person's mounted volumes under "Computer". Returns the
    // chosen folder's path (bytes, ending in "/") on "OK", and nothing on "Cancel", Escape or the
    // close box.
    static std::optional<std::string> Browse(FileSystem& fileSystem, QWidget* parent, const QString& caption,
                                             const std::string& startPath);

    void SetCaption(const QString& caption);
    // The starting path; set before the window is shown. It may be empty.
    void SetPath(std::string path) { path_ = std::move(path); }
    // The volumes listed under "Computer" after "/", each by its label; set before the window is
    // shown. None unless set.
    void SetVolumes(std::vector<Volume> volumes) { volumes_ = std::move(volumes); }
    // The path of the folder selected last, or the starting path while no folder has been; after
    // "OK" it ends in "/".
    const std::string& Path() const { return path_; }

    // Selects the folder of the wanted path, going as deep as its components can be matched, and
    // scrolls it into view.
    void SelectPath(const std::string& wantedPath);

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FillTopLevel();
    void ReadChildren(FolderTreeItem* item);
    void OnCurrentItemChanged(QTreeWidgetItem* current);
    FolderTreeItem* FindAmongChildren(QTreeWidgetItem* parent, const std::string& component);
    FolderTreeItem* DriveHolding(const std::string& path);
    void SelectAndReveal(QTreeWidgetItem* item);

    std::unique_ptr<Ui::FolderBrowserDialog> ui_;
    FileSystem& fileSystem_;
    std::string path_;
    std::vector<Volume> volumes_;
    bool filled_ = false;
    QIcon computerIcon_;
    QIcon driveIcon_;
    QIcon homeIcon_;
    QIcon folderIcon_;
    QIcon linkIcon_;
};

} // namespace twinfol
