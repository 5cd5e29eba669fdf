// Eliding the operation's path and composing the figures beside it.
#include "app/execution_line.h"

#include <QBoxLayout>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>

#include "base/amount_text.h"
#include "base/display_text.h"

namespace twinfol {
namespace {

// Room the line edit's frame and text margins take from its width.
constexpr int editPadding = 12;

} // namespace

ExecutionLine::ExecutionLine(QLineEdit& edit, QBoxLayout& row, Clock clock)
    : QObject(&edit), edit_(edit), figures_(new QLabel(edit.parentWidget())), clock_(std::move(clock))
{
    figures_->setObjectName(QStringLiteral("executionFigures"));
    figures_->setAccessibleName(tr("Copied so far"));
    // The label keeps a steady width so that the line beside it does not jump as the figures change.
    figures_->setMinimumWidth(
        QFontMetrics(figures_->font())
            .horizontalAdvance(QStringLiteral("999,999 files, 999.9 MiB, 999.9 MiB/s")));
    row.addWidget(figures_);
    edit_.installEventFilter(this);
}

void ExecutionLine::ShowOperation(const std::string& text)
{
    full_ = QString::fromStdString(ForDisplay(text));
    edit_.setToolTip(full_);
    Elide();
}

void ExecutionLine::ShowCounters(const CopyCounters& counters)
{
    const std::uint64_t bytes = counters.bytesCopied + counters.fileBytesDone;
    const auto now = clock_();
    rate_.Add(now, bytes);
    std::string text = FormatCount(counters.filesCopied) +
                       (counters.filesCopied == 1 ? " file, " : " files, ") + FormatBytes(bytes);
    if (const std::optional<double> rate = rate_.Rate(now, bytes))
        text += ", " + FormatBytes(static_cast<std::uint64_t>(*rate)) + "/s";
    figures_->setText(QString::fromStdString(text));
}

void ExecutionLine::PauseRate()
{
    rate_.Pause(clock_());
}

void ExecutionLine::ResumeRate()
{
    rate_.Resume(clock_());
}

void ExecutionLine::Clear()
{
    rate_.Clear();
    figures_->clear();
    ShowOperation({});
}

bool ExecutionLine::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &edit_ && event->type() == QEvent::Resize)
        Elide();
    return QObject::eventFilter(watched, event);
}

// The engine's texts are an action word with a colon ("Overwriting file: ") and a path: the word is
// kept whole and the path loses its middle, where a person needs it least.
void ExecutionLine::Elide()
{
    const QFontMetrics metrics(edit_.font());
    const int room = edit_.width() - editPadding;
    if (metrics.horizontalAdvance(full_) <= room) {
        edit_.setText(full_);
        return;
    }
    const qsizetype colon = full_.indexOf(QLatin1String(": "));
    const QString word = colon < 0 ? QString() : full_.left(colon + 2);
    const QString path = full_.mid(word.size());
    const int pathRoom = std::max(0, room - metrics.horizontalAdvance(word));
    edit_.setText(word + metrics.elidedText(path, Qt::ElideMiddle, pathRoom));
}

} // namespace twinfol
