// The delete question: records which of the five answers was given.
#include "app/confirm_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "ui_confirm_dialog.h"

namespace twinfol {

ConfirmDialog::ConfirmDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui_(std::make_unique<Ui::ConfirmDialog>())
{
    ui_->setupUi(this);
    // The placeholders of the form never show: an unasked question has four empty lines.
    ShowLines();
    connect(ui_->yesButton, &QPushButton::clicked, this, [this] { RecordAnswer(ConfirmAnswer::Yes); });
    connect(ui_->yesToAllButton, &QPushButton::clicked, this,
            [this] { RecordAnswer(ConfirmAnswer::YesToAll); });
    connect(ui_->noButton, &QPushButton::clicked, this, [this] { RecordAnswer(ConfirmAnswer::No); });
    connect(ui_->noToAllButton, &QPushButton::clicked, this,
            [this] { RecordAnswer(ConfirmAnswer::NoToAll); });
    connect(ui_->cancelButton, &QPushButton::clicked, this, &ConfirmDialog::reject);
    // Enter answers Yes as long as the person has not moved the focus to another answer.
    ui_->yesButton->setFocus();
}

ConfirmDialog::~ConfirmDialog() = default;

void ConfirmDialog::SetQuestion(const ConfirmQuestion& question)
{
    setWindowTitle(QString::fromStdString(question.caption));
    for (std::size_t i = 0; i < lines_.size(); ++i)
        lines_[i] = QString::fromStdString(question.lines[i]);
    ShowLines();
}

void ConfirmDialog::reject()
{
    answer_ = ConfirmAnswer::Cancel;
    QDialog::reject();
}

void ConfirmDialog::RecordAnswer(ConfirmAnswer answer)
{
    answer_ = answer;
    accept();
}

void ConfirmDialog::ShowLines()
{
    // The window keeps its size, so a path too long for a line loses its middle rather than its end:
    // the name of the item to be deleted stays readable. The whole line is in the tool tip.
    const std::array<QLabel*, 4> labels{ui_->line1Label, ui_->line2Label, ui_->line3Label, ui_->line4Label};
    for (std::size_t i = 0; i < labels.size(); ++i) {
        QLabel* label = labels[i];
        const QString shown =
            label->fontMetrics().elidedText(lines_[i], Qt::ElideMiddle, label->maximumWidth());
        label->setText(shown);
        label->setToolTip(shown == lines_[i] ? QString() : lines_[i]);
    }
}

} // namespace twinfol
