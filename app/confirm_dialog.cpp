// The delete question: records which of the five answers was given.
#include "app/confirm_dialog.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <QTextOption>

#include "base/display_text.h"
#include "ui_confirm_dialog.h"

namespace twinfol {
namespace {

QString Shown(const std::string& bytes)
{
    return QString::fromStdString(ForDisplay(bytes));
}

// Four lines of text fit without scrolling: the room the question has always had. A text longer
// than that scrolls inside the same room, so no part of a path is ever left out.
void ShapeQuestionText(QPlainTextEdit& text)
{
    text.setWordWrapMode(QTextOption::WrapAnywhere);
    text.document()->setDocumentMargin(0);
    text.setBackgroundVisible(false);
    QPalette palette = text.palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    text.setPalette(palette);
    constexpr int shownLines = 4;
    text.setFixedHeight(text.fontMetrics().lineSpacing() * shownLines + 2 * text.frameWidth() + 2);
}

} // namespace

ConfirmDialog::ConfirmDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui_(std::make_unique<Ui::ConfirmDialog>())
{
    ui_->setupUi(this);
    ShapeQuestionText(*ui_->questionText);
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
    setWindowTitle(Shown(question.caption));
    ui_->questionText->setAccessibleName(windowTitle());
    for (std::size_t i = 0; i < lines_.size(); ++i)
        lines_[i] = Shown(question.lines[i]);
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

QString ConfirmDialog::ShownText() const
{
    QStringList lines(lines_.begin(), lines_.end());
    // Trailing empty lines would only add blank room to select.
    while (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines.join(QLatin1Char('\n'));
}

void ConfirmDialog::ShowLines()
{
    ui_->questionText->setPlainText(ShownText());
    ui_->questionText->verticalScrollBar()->setValue(0);
}

} // namespace twinfol
