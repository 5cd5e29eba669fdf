// The folder picker over a tree of our own: a "Computer" node holding the file-system root "/" and
// the person's mounted volumes, then the home folder. Each folder is read at most once, on its first
// expansion or selection.
#include "reports/folder_browser_dialog.h"

#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>
#include <QTimer>

#include <vector>

#include "base/display_text.h"
#include "reports/folder_listing.h"
#include "reports/folder_tree_item.h"
#include "ui_folder_browser_dialog.h"

namespace twinfol {
namespace {

// The system's mount table with the labels of the file systems. It is the one thing the browser
// learns other than through the file-system layer, and it comes to the tree as plain data.
std::vector<Volume> MountedVolumes()
{
    std::vector<Volume> volumes;
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes())
        if (storage.isValid() && storage.isReady())
            volumes.push_back(
                {QFile::encodeName(storage.rootPath()).toStdString(), storage.name().toStdString()});
    return volumes;
}

std::string UserName()
{
    const QByteArray user = qgetenv("USER");
    return user.isEmpty() ? QDir::home().dirName().toStdString() : user.toStdString();
}

} // namespace

FolderBrowserDialog::FolderBrowserDialog(FileSystem& fileSystem, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::FolderBrowserDialog>()), fileSystem_(fileSystem)
{
    ui_->setupUi(this);
    // The column grows with the widest visible name, so deep folders can be scrolled to sideways.
    ui_->folderTree->header()->setStretchLastSection(false);
    ui_->folderTree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    const QFileIconProvider icons;
    computerIcon_ = icons.icon(QFileIconProvider::Computer);
    driveIcon_ = icons.icon(QFileIconProvider::Drive);
    folderIcon_ = icons.icon(QFileIconProvider::Folder);
    homeIcon_ = QIcon::fromTheme(QStringLiteral("user-home"), style()->standardIcon(QStyle::SP_DirHomeIcon));
    linkIcon_ = style()->standardIcon(QStyle::SP_DirLinkIcon);

    connect(ui_->okButton, &QPushButton::clicked, this, &FolderBrowserDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui_->folderTree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { ReadChildren(FolderTreeItem::From(item)); });
    connect(ui_->folderTree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnCurrentItemChanged(current); });
    ui_->folderTree->setFocus();
}

FolderBrowserDialog::~FolderBrowserDialog() = default;

std::optional<std::string> FolderBrowserDialog::Browse(FileSystem& fileSystem, QWidget* parent,
                                                       const QString& caption, const std::string& startPath)
{
    FolderBrowserDialog dialog(fileSystem, parent);
    dialog.SetCaption(caption);
    dialog.SetPath(startPath);
    dialog.SetVolumes(UserVolumes(MountedVolumes(), UserName()));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Path();
}

void FolderBrowserDialog::SetCaption(const QString& caption)
{
    ui_->captionLabel->setText(caption);
}

void FolderBrowserDialog::accept()
{
    path_ = CompleteFolderPath(std::move(path_));
    QDialog::accept();
}

void FolderBrowserDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (filled_)
        return;
    filled_ = true;
    FillTopLevel();
    QTreeWidgetItem* computer = ui_->folderTree->topLevelItem(0);
    ui_->folderTree->expandItem(computer);
    ui_->folderTree->setCurrentItem(computer);
    if (!path_.empty())
        SelectPath(path_);
    // The view knows its final size only once the window is laid out; reveal the selection again
    // then, in the middle of the view so that the folders around it show too.
    QTimer::singleShot(0, this, [this] {
        if (QTreeWidgetItem* current = ui_->folderTree->currentItem())
            ui_->folderTree->scrollToItem(current, QAbstractItemView::PositionAtCenter);
    });
}

void FolderBrowserDialog::FillTopLevel()
{
    ui_->folderTree->clear();
    auto computer =
        std::make_unique<FolderTreeItem>(FolderItemKind::Computer, std::string(), "Computer", computerIcon_);
    // The root of the one file-system tree comes first, then the volumes by their labels.
    auto root = std::make_unique<FolderTreeItem>(FolderItemKind::Folder, "/", "/", driveIcon_);
    computer->addChild(root.release());
    for (const Volume& volume : volumes_) {
        auto drive =
            std::make_unique<FolderTreeItem>(FolderItemKind::Folder, volume.path, volume.label, driveIcon_);
        drive->setToolTip(0, QString::fromStdString(volume.path));
        computer->addChild(drive.release());
    }
    computer->MarkChildrenRead();
    ui_->folderTree->addTopLevelItem(computer.release());

    const std::string home = QDir::homePath().toStdString();
    if (!home.empty() && home != "/") {
        auto homeItem = std::make_unique<FolderTreeItem>(FolderItemKind::Folder, CompleteFolderPath(home),
                                                         "Home", homeIcon_);
        ui_->folderTree->addTopLevelItem(homeItem.release());
    }
}

void FolderBrowserDialog::ReadChildren(FolderTreeItem* item)
{
    if (item == nullptr || item->ChildrenRead())
        return;
    item->MarkChildrenRead();
    if (!item->HasPath())
        return;
    // A link is shown and can be chosen, but one that leads back up its own path is not opened:
    // its children would repeat the tree around it without end.
    if (item->Kind() == FolderItemKind::LinkToFolder && IsLoopingFolderLink(fileSystem_, item->Path()))
        return;
    const std::vector<FolderEntry> entries = ListSubFolders(fileSystem_, item->Path());
    if (entries.empty())
        return;
    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<qsizetype>(entries.size()));
    for (const FolderEntry& entry : entries) {
        const bool isLink = entry.kind == FolderEntryKind::LinkToFolder;
        children.append(std::make_unique<FolderTreeItem>(
                            isLink ? FolderItemKind::LinkToFolder : FolderItemKind::Folder,
                            item->Path() + entry.name + '/', entry.name, isLink ? linkIcon_ : folderIcon_)
                            .release());
    }
    // One insertion for the whole folder, without repainting in between: a folder of thousands of
    // sub-folders goes in as quickly as a small one.
    ui_->folderTree->setUpdatesEnabled(false);
    item->addChildren(children);
    ui_->folderTree->setUpdatesEnabled(true);
}

void FolderBrowserDialog::OnCurrentItemChanged(QTreeWidgetItem* current)
{
    FolderTreeItem* item = FolderTreeItem::From(current);
    if (item == nullptr)
        return;
    // The computer node has no path: the path stays that of the folder selected before.
    if (item->HasPath())
        path_ = item->Path();
    // Reading now lets the walk of SelectPath go on one level deeper; the item stays collapsed.
    ReadChildren(item);
}

void FolderBrowserDialog::SelectPath(const std::string& wantedPath)
{
    // Only an absolute path can be walked from a drive; there are no drive letters to match here.
    // The walk follows the path as the disk spells it, among all the spellings that differ from the
    // one given only in case; selecting folders replaces the path held, so the walk keeps a copy.
    const std::optional<std::string> found = FindPathAsSpelt(fileSystem_, wantedPath);
    if (!found)
        return;
    const std::string path = CompleteFolderPath(*found);
    FolderTreeItem* drive = DriveHolding(path);
    if (drive == nullptr)
        return;
    SelectAndReveal(drive);
    std::size_t start = drive->Path().size();
    while (start < path.size()) {
        const std::size_t end = path.find('/', start);
        const std::string component = path.substr(start, end - start);
        start = end + 1;
        if (component.empty())
            continue;
        FolderTreeItem* match = FindAmongChildren(ui_->folderTree->currentItem(), component);
        if (match == nullptr)
            return;
        SelectAndReveal(match);
    }
}

// The drive under "Computer" to walk the path from: the volume mounted deepest along it, or "/".
FolderTreeItem* FolderBrowserDialog::DriveHolding(const std::string& path)
{
    QTreeWidgetItem* computer = ui_->folderTree->topLevelItem(0);
    FolderTreeItem* best = nullptr;
    for (int i = 0; computer != nullptr && i < computer->childCount(); ++i) {
        FolderTreeItem* drive = FolderTreeItem::From(computer->child(i));
        if (drive != nullptr && drive->HasPath() && path.starts_with(drive->Path()) &&
            (best == nullptr || drive->Path().size() > best->Path().size()))
            best = drive;
    }
    return best;
}

FolderTreeItem* FolderBrowserDialog::FindAmongChildren(QTreeWidgetItem* parent, const std::string& component)
{
    if (parent == nullptr)
        return nullptr;
    // A name spelt exactly so wins: on Linux "Data" and "data" can stand side by side. Otherwise the
    // first name that differs only in case is taken.
    const QString wanted = QString::fromStdString(ForDisplay(component));
    FolderTreeItem* caseInsensitiveMatch = nullptr;
    for (int i = 0; i < parent->childCount(); ++i) {
        FolderTreeItem* child = FolderTreeItem::From(parent->child(i));
        if (child == nullptr || !child->HasPath())
            continue;
        if (child->Name() == component)
            return child;
        if (caseInsensitiveMatch == nullptr && child->text(0).compare(wanted, Qt::CaseInsensitive) == 0)
            caseInsensitiveMatch = child;
    }
    return caseInsensitiveMatch;
}

void FolderBrowserDialog::SelectAndReveal(QTreeWidgetItem* item)
{
    // Scrolling to the item expands its ancestors; selecting it reads its children.
    ui_->folderTree->scrollToItem(item);
    ui_->folderTree->setCurrentItem(item);
}

} // namespace twinfol
