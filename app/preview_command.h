// The "Preview" button: it previews the direction of the last run, or, before any run, asks which
// with the two direction arrows as its menu (the menu is always there on the button's arrow). Once the
// planning walk is done it opens the preview window; "Synchronise" there starts the run as the
// direction button would.
#pragma once

#include <functional>

#include <QObject>

#include "engine/records/sync_options.h"

class QMenu;
class QToolButton;
class QWidget;

namespace twinfol {

class DialogService;
class RunControl;

class PreviewCommand : public QObject {
    Q_OBJECT

public:
    using DirectionHandler = std::function<void(SyncDirection)>;

    // startPlan starts the planning walk in a direction, startRun the run itself; both belong to the
    // window, which keeps the job's locations and options.
    PreviewCommand(QToolButton& button, RunControl& runControl, DialogService& dialogs, QWidget& window,
                   DirectionHandler startPlan, DirectionHandler startRun);

    SyncDirection LastDirection() const { return lastDirection_; }
    // Opens the preview of the plan just finished, unless the walk was stopped.
    void ShowFinishedPlan();

    // The caption of a direction, as its run button shows it.
    static QString DirectionCaption(SyncDirection direction);

protected:
    // The keys of a focused button: Enter presses it, as it does any focused button of the window
    // (rather than reaching the window's default button), and Alt+Down opens its menu.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnClicked();
    void OnRunStarted();

    QToolButton& button_;
    RunControl& runControl_;
    DialogService& dialogs_;
    QWidget& window_;
    DirectionHandler startPlan_;
    DirectionHandler startRun_;
    QMenu* menu_;
    SyncDirection lastDirection_ = SyncDirection::None;
};

} // namespace twinfol
