// Folder items start with an expand mark, since deciding whether a folder has sub-folders would mean
// reading it; the mark goes away once reading finds none.
#include "reports/folder_tree_item.h"

#include "base/display_text.h"

namespace twinfol {

FolderTreeItem::FolderTreeItem(FolderItemKind kind, std::string path, std::string name, const QIcon& icon)
    : QTreeWidgetItem(kItemType), kind_(kind), path_(std::move(path)), name_(std::move(name))
{
    setText(0, QString::fromStdString(ForDisplay(name_)));
    setIcon(0, icon);
    setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
}

FolderTreeItem* FolderTreeItem::From(QTreeWidgetItem* item)
{
    return item != nullptr && item->type() == kItemType ? static_cast<FolderTreeItem*>(item) : nullptr;
}

void FolderTreeItem::MarkChildrenRead()
{
    childrenRead_ = true;
    setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

} // namespace twinfol
