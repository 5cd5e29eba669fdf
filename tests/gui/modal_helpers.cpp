// The modal-window watcher of the GUI tests.
#include "gui/modal_helpers.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace twinfol::test {

namespace {

// Longer than any window of these tests stays open when its test works.
constexpr qint64 kHangGuardMilliseconds = 20000;

} // namespace

ModalWatcher::ModalWatcher(std::function<void(QWidget&)> action) : action_(std::move(action))
{
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
}

ModalWatcher::~ModalWatcher()
{
    timer_.stop();
}

void ModalWatcher::Poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr)
        return;
    const bool known = std::any_of(seen_.begin(), seen_.end(),
                                   [modal](const QPointer<QWidget>& seen) { return seen == modal; });
    if (!known) {
        seen_.emplace_back(modal);
        waitingFor_ = modal;
        waitingSince_.start();
        // Run the action from a fresh event rather than inside this timer's own activation, so that
        // a modal window opened by the action is noticed by the next poll.
        QPointer<QWidget> window(modal);
        QTimer::singleShot(0, modal, [this, window] {
            if (window)
                action_(*window);
        });
        return;
    }
    if (modal == waitingFor_ && waitingSince_.elapsed() > kHangGuardMilliseconds) {
        ADD_FAILURE() << "A modal window was left open: " << modal->objectName().toStdString();
        waitingFor_ = nullptr;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
}

QWidget& KeyTarget(QWidget& window)
{
    QWidget* focus = window.focusWidget();
    return focus != nullptr ? *focus : window;
}

void PressKey(QWidget& window, Qt::Key key)
{
    QTest::keyClick(&KeyTarget(window), key);
}

void ClickButton(QWidget& window, const char* objectName)
{
    auto* button = window.findChild<QPushButton*>(QString::fromLatin1(objectName));
    if (button == nullptr) {
        ADD_FAILURE() << "no button " << objectName;
        return;
    }
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace twinfol::test
