// The main window's option boxes, each bound to the option of SyncOptions it shows: one table that
// connects, reads, writes and enables them, so that a new option is its box in the .ui and one line.
#pragma once

#include <functional>

#include "app/main_dialog_fields.h"

class QObject;

namespace Ui {
class MainDialog;
}

namespace twinfol {

class OptionBoxes {
public:
    // The boxes are looked up in the window's controls each time, so they may be made after this.
    explicit OptionBoxes(const Ui::MainDialog& controls) : controls_(controls) {}

    // Calls onClicked, in the receiver's context, with the option of each box the person clicks.
    void ConnectClicks(QObject& receiver, const std::function<void(JobFlag)>& onClicked) const;
    void Read(SyncOptions& options) const;
    void Write(const SyncOptions& options) const;
    void SetEnabled(bool enabled) const;

private:
    const Ui::MainDialog& controls_;
};

} // namespace twinfol
