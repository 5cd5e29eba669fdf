// The window side of delete confirmation: one ConfirmDialog per question, always on the window thread.
#include "app/dialog_confirmation_asker.h"

#include <QCoreApplication>
#include <QThread>

#include "app/confirm_dialog.h"

namespace twinfol {

DialogConfirmationAsker::DialogConfirmationAsker(QWidget* parent)
    : parent_(parent), hasParent_(parent != nullptr)
{
}

ConfirmAnswer DialogConfirmationAsker::Ask(const ConfirmQuestion& question)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr)
        return ConfirmAnswer::Cancel;
    if (QThread::currentThread() == application->thread())
        return AskOnWindowThread(question);
    ConfirmAnswer answer = ConfirmAnswer::Cancel;
    QMetaObject::invokeMethod(
        application, [&] { answer = AskOnWindowThread(question); }, Qt::BlockingQueuedConnection);
    return answer;
}

ConfirmAnswer DialogConfirmationAsker::AskOnWindowThread(const ConfirmQuestion& question)
{
    if (hasParent_ && parent_.isNull())
        return ConfirmAnswer::Cancel;
    ConfirmDialog dialog(parent_);
    dialog.SetQuestion(question);
    dialog.exec();
    return dialog.Answer();
}

}  // namespace twinfol
