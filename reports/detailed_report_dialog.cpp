// Switching between the lists of a run (or of an undo) and showing one in its own (byte-wise) order.
#include "reports/detailed_report_dialog.h"

#include <QPushButton>
#include <QStringList>

#include "base/display_text.h"
#include "ui_detailed_report_dialog.h"

namespace twinfol {

namespace {

std::size_t Index(DetailView view)
{
    return static_cast<std::size_t>(view);
}

} // namespace

DetailedReportDialog::DetailedReportDialog(const PathSet& overwrittenFiles, const PathSet& addedFiles,
                                           const PathSet& deletedFiles, const PathSet& addedFolders,
                                           const PathSet& deletedFolders, QWidget* parent)
    : DetailedReportDialog(
          {{QStringLiteral("&Overwritten Files"), QStringLiteral("Now Showing Overwritten Files"),
            &overwrittenFiles},
           {QStringLiteral("&Added Files"), QStringLiteral("Now Showing Added Files"), &addedFiles},
           {QStringLiteral("&Deleted Files"), QStringLiteral("Now Showing Deleted Files"), &deletedFiles},
           {QStringLiteral("Added &Folders"), QStringLiteral("Now Showing Added Folders"), &addedFolders},
           {QStringLiteral("Deleted Fo&lders"), QStringLiteral("Now Showing Deleted Folders"),
            &deletedFolders}},
          parent)
{
}

DetailedReportDialog::DetailedReportDialog(const PathSet& restored, const PathSet& trashed, QWidget* parent)
    : DetailedReportDialog(
          {{QStringLiteral("&Restored"), QStringLiteral("Now Showing Restored Items"), &restored},
           {QStringLiteral("&Moved to the Trash"), QStringLiteral("Now Showing Items Moved to the Trash"),
            &trashed}},
          parent)
{
}

DetailedReportDialog::DetailedReportDialog(std::vector<Page> pages, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::DetailedReportDialog>()), pages_(std::move(pages))
{
    ui_->setupUi(this);
    // The list shows entries in the order they are added; sorting it would replace the byte-wise
    // order of the report (upper case before lower case) with the locale's.
    ui_->entryList->setSortingEnabled(false);
    viewButtons_ = {ui_->overwrittenFilesButton, ui_->addedFilesButton, ui_->deletedFilesButton,
                    ui_->addedFoldersButton, ui_->deletedFoldersButton};
    for (std::size_t i = 0; i < viewButtons_.size(); ++i) {
        if (i >= pages_.size()) {
            viewButtons_[i]->hide();
            continue;
        }
        viewButtons_[i]->setText(pages_[i].button);
        connect(viewButtons_[i], &QPushButton::clicked, this,
                [this, i] { ShowView(static_cast<DetailView>(i)); });
    }
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    // The view buttons take no default role (autoDefault is off in the form): a clicked one is
    // disabled and the focus moves on to the next, and Enter must still close the window.
    Refresh();
    ui_->okButton->setFocus();
}

DetailedReportDialog::~DetailedReportDialog() = default;

void DetailedReportDialog::MarkIncompleteFolders(const PathSet& folders, const PathSet* partlyCopied)
{
    if (Index(DetailView::ViewAddedFolders) >= pages_.size())
        return;
    pages_[Index(DetailView::ViewAddedFolders)].incomplete = &folders;
    pages_[Index(DetailView::ViewAddedFolders)].partlyCopied = partlyCopied;
    Refresh();
}

void DetailedReportDialog::ShowView(DetailView view)
{
    if (Index(view) >= pages_.size())
        return;
    currentView_ = view;
    Refresh();
}

void DetailedReportDialog::Refresh()
{
    for (QPushButton* button : viewButtons_)
        button->setEnabled(true);
    viewButtons_[Index(currentView_)]->setEnabled(false);
    ui_->nowShowingLabel->setText(pages_[Index(currentView_)].nowShowing);
    // A screen reader names the list by what it holds now.
    ui_->entryList->setAccessibleName(pages_[Index(currentView_)].nowShowing);
    const PathSet& list = *pages_[Index(currentView_)].list;
    const Page& page = pages_[Index(currentView_)];
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(list.size()));
    // Paths are bytes in the engine; they are shown as UTF-8, bytes that are not UTF-8 as \xNN.
    for (const std::string& path : list)
        rows.append(QString::fromStdString(
            ForDisplay(path + std::string(AddedFolderMark(path, page.incomplete, page.partlyCopied)))));
    ui_->entryList->clear();
    ui_->entryList->addItems(rows);
}

} // namespace twinfol
