// Choosing the preview's direction, and what the preview window's answer leads to.
#include "app/preview_command.h"

#include <QKeyEvent>
#include <QMenu>
#include <QToolButton>

#include "app/dialog_service.h"
#include "app/preview_dialog.h"
#include "app/run_control.h"

namespace twinfol {

PreviewCommand::PreviewCommand(QToolButton& button, RunControl& runControl, DialogService& dialogs,
                               QWidget& window, DirectionHandler startPlan, DirectionHandler startRun)
    : QObject(&button), button_(button), runControl_(runControl), dialogs_(dialogs), window_(window),
      startPlan_(std::move(startPlan)), startRun_(std::move(startRun)), menu_(new QMenu(&button))
{
    menu_->setObjectName(QStringLiteral("previewMenu"));
    for (const SyncDirection direction :
         {SyncDirection::Location1ToLocation2, SyncDirection::Location2ToLocation1}) {
        QAction* action = menu_->addAction(DirectionCaption(direction));
        connect(action, &QAction::triggered, this, [this, direction] { startPlan_(direction); });
    }
    button_.setMenu(menu_);
    button_.setPopupMode(QToolButton::MenuButtonPopup);
    connect(&button_, &QToolButton::clicked, this, &PreviewCommand::OnClicked);
    connect(&runControl_, &RunControl::Started, this, &PreviewCommand::OnRunStarted);
    button_.installEventFilter(this);
}

bool PreviewCommand::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &button_ || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        button_.click();
        return true;
    }
    if (key->key() == Qt::Key_Down && key->modifiers().testFlag(Qt::AltModifier)) {
        button_.showMenu();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

QString PreviewCommand::DirectionCaption(SyncDirection direction)
{
    return direction == SyncDirection::Location2ToLocation1 ? tr("Location 1 <<== Location 2")
                                                            : tr("Location 1 ==>> Location 2");
}

void PreviewCommand::OnClicked()
{
    if (lastDirection_ == SyncDirection::None)
        button_.showMenu();
    else
        startPlan_(lastDirection_);
}

// Runs and undos count, previews do not: the button previews what the person last ran.
void PreviewCommand::OnRunStarted()
{
    if (!runControl_.IsPlanning())
        lastDirection_ = runControl_.RunningDirection();
}

void PreviewCommand::ShowFinishedPlan()
{
    const SyncDirection direction = runControl_.PlannedDirection();
    ExplainedPlan explained = runControl_.TakePlan();
    if (!explained.plan.complete)
        return;
    // The plan was made for these very settings a moment ago: a run it says will not fit is asked for.
    const QString noRoom =
        explained.plan.WillNotFit() ? QString::fromStdString(explained.plan.RoomText()) : QString();
    PreviewDialog preview(std::move(explained), DirectionCaption(direction), &window_);
    if (dialogs_.Run(preview) != QDialog::Accepted)
        return;
    if (!noRoom.isEmpty() &&
        !dialogs_.AskWarning(&window_, tr("The run will not fit on the target's disk: %1.\n\n"
                                          "Some copies will fail once the disk is full. Run anyway?")
                                           .arg(noRoom)))
        return;
    startRun_(direction);
}

} // namespace twinfol
