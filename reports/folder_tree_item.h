// One item of the folder browser's tree: a folder (or a link to one) with its path as the disk spells
// it, and whether its children have been read.
#pragma once

#include <QTreeWidgetItem>

#include <string>

namespace twinfol {

enum class FolderItemKind { Computer, Folder, LinkToFolder };

class FolderTreeItem : public QTreeWidgetItem {
public:
    static constexpr int kItemType = QTreeWidgetItem::UserType + 1;

    // path: the folder's path ending in "/", empty for the computer node, which is no folder.
    // name: the folder's own name as bytes; displayed as UTF-8.
    FolderTreeItem(FolderItemKind kind, std::string path, std::string name, const QIcon& icon);

    // The item as a folder item, or null for an item of another type.
    static FolderTreeItem* From(QTreeWidgetItem* item);

    FolderItemKind Kind() const { return kind_; }
    bool HasPath() const { return !path_.empty(); }
    const std::string& Path() const { return path_; }
    const std::string& Name() const { return name_; }

    bool ChildrenRead() const { return childrenRead_; }
    // From here on the expand mark shows only when children were found.
    void MarkChildrenRead();

private:
    FolderItemKind kind_;
    std::string path_;
    std::string name_;
    bool childrenRead_ = false;
};

} // namespace twinfol
