// "Schedule": when the saved profile runs by itself (every hour, day or week, at a calendar
// expression, or when its disk is plugged in), its next run, and removing its schedule. The schedules
// library does the work; the dialog copies its controls into a request and shows what came back.
#pragma once

#include <memory>
#include <string>

#include <QDialog>

#include "schedule/schedules.h"

namespace Ui {
class ScheduleDialog;
}

namespace twinfol {

class DialogService;

class ScheduleDialog : public QDialog {
    Q_OBJECT

public:
    ScheduleDialog(QWidget* parent, DialogService& dialogs, SchedulePlaces places, std::string profilePath,
                   UserManager manager);
    ~ScheduleDialog() override;

private:
    void OnSchedule();
    void OnRemove();
    // Shows the profile's schedule as installed now, and selects its choice.
    void ShowCurrent();
    ScheduleRequest RequestFromControls() const;
    void UpdateControls();

    std::unique_ptr<Ui::ScheduleDialog> ui;
    DialogService& dialogs;
    SchedulePlaces places;
    std::string profilePath;
    UserManager manager;
};

} // namespace twinfol
