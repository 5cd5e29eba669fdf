// Puts delete questions to the person in a ConfirmDialog over a given window.
#pragma once

#include <QPointer>
#include <QWidget>

#include "engine/delete_confirmation.h"

namespace twinfol {

class DialogConfirmationAsker : public ConfirmationAsker {
public:
    explicit DialogConfirmationAsker(QWidget* parent);

    // Shows the question modally and returns the answer. The engine runs on a thread of its own, so
    // a call from any other thread is carried over to the window thread, and the calling thread waits
    // there until the person has answered. When the window given has been closed and destroyed in
    // the meantime, nothing is shown and the answer is Cancel.
    ConfirmAnswer Ask(const ConfirmQuestion& question) override;

private:
    ConfirmAnswer AskOnWindowThread(const ConfirmQuestion& question);

    QPointer<QWidget> parent_;
    bool hasParent_ = false;
};

}  // namespace twinfol
