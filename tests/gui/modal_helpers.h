// Answering modal windows in GUI tests: a watcher notices each modal window as it opens and hands it
// to the test, which presses its buttons or keys from inside the window's own event loop.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

namespace twinfol::test {

class ModalWatcher {
public:
    // Runs the action once for every modal window that opens while the watcher lives. The action
    // runs from the window's own event loop, so it may open further modal windows itself.
    explicit ModalWatcher(std::function<void(QWidget&)> action);
    ~ModalWatcher();
    ModalWatcher(const ModalWatcher&) = delete;
    ModalWatcher& operator=(const ModalWatcher&) = delete;

    // How many modal windows have been seen so far.
    int Seen() const { return static_cast<int>(seen_.size()); }

private:
    void Poll();

    std::function<void(QWidget&)> action_;
    QTimer timer_;
    std::vector<QPointer<QWidget>> seen_;
    // A window the action failed to close would hang the test; it is closed, and the test fails.
    QPointer<QWidget> waitingFor_;
    QElapsedTimer waitingSince_;
};

// The focus widget of a window, where a key press goes; the window itself when nothing has focus.
QWidget& KeyTarget(QWidget& window);

// Presses a key in the window, as the person would at the keyboard.
void PressKey(QWidget& window, Qt::Key key);

// Clicks the push button of the given object name in the window; fails the test when it is missing.
void ClickButton(QWidget& window, const char* objectName);

} // namespace twinfol::test
