// The Schedule dialog over the schedules library.
#include "app/schedule_dialog.h"

#include "app/dialog_service.h"
#include "base/display_text.h"
#include "ui_schedule_dialog.h"

namespace twinfol {
namespace {

QString Shown(const std::string& text)
{
    return QString::fromStdString(ForDisplay(text));
}

QString Lines(const std::vector<std::string>& notes)
{
    QStringList lines;
    for (const std::string& note : notes)
        lines << Shown(note);
    return lines.join('\n');
}

} // namespace

ScheduleDialog::ScheduleDialog(QWidget* parent, DialogService& dialogs, SchedulePlaces places,
                               std::string profilePath, UserManager manager)
    : QDialog(parent), ui(std::make_unique<Ui::ScheduleDialog>()), dialogs(dialogs),
      places(std::move(places)), profilePath(std::move(profilePath)), manager(manager)
{
    ui->setupUi(this);
    ui->profileEdit->setText(Shown(this->profilePath));
    connect(ui->scheduleButton, &QPushButton::clicked, this, &ScheduleDialog::OnSchedule);
    connect(ui->removeButton, &QPushButton::clicked, this, &ScheduleDialog::OnRemove);
    connect(ui->closeButton, &QPushButton::clicked, this, &ScheduleDialog::accept);
    connect(ui->customRadio, &QRadioButton::toggled, this, &ScheduleDialog::UpdateControls);
    ShowCurrent();
}

ScheduleDialog::~ScheduleDialog() = default;

ScheduleRequest ScheduleDialog::RequestFromControls() const
{
    ScheduleRequest request;
    request.profilePath = profilePath;
    if (ui->hourlyRadio->isChecked())
        request.when = "hourly";
    else if (ui->dailyRadio->isChecked())
        request.when = "daily";
    else if (ui->weeklyRadio->isChecked())
        request.when = "weekly";
    else if (ui->onMountRadio->isChecked())
        request.when = "on-mount";
    else
        request.when = ui->customEdit->text().trimmed().toStdString();
    const int direction = ui->directionCombo->currentIndex();
    request.direction = direction == 1 ? "1to2" : direction == 2 ? "2to1" : "";
    return request;
}

void ScheduleDialog::OnSchedule()
{
    const ScheduleOutcome outcome = ScheduleProfile(places, RequestFromControls(), manager);
    if (!outcome.IsOk()) {
        dialogs.ShowMessage(this, tr("The profile was not scheduled: %1").arg(Shown(outcome.error)));
        return;
    }
    ShowCurrent();
    ui->noteLabel->setText(Lines(outcome.notes));
}

void ScheduleDialog::OnRemove()
{
    const ScheduleOutcome outcome = UnscheduleProfile(places, profilePath, manager);
    if (!outcome.IsOk())
        dialogs.ShowMessage(this, Shown(outcome.error));
    ShowCurrent();
    ui->noteLabel->setText(Lines(outcome.notes));
}

void ScheduleDialog::ShowCurrent()
{
    const std::optional<ScheduleEntry> entry = ScheduleOfProfile(places, profilePath, manager);
    ui->removeButton->setEnabled(entry.has_value());
    if (!entry) {
        ui->currentLabel->setText(tr("This profile has no schedule."));
        UpdateControls();
        return;
    }
    QString text = tr("Scheduled: %1").arg(Shown(entry->when));
    if (entry->when == "on-mount")
        text += "\n" + tr("Runs %1.").arg(Shown(entry->next));
    else if (entry->last.empty())
        text += "\n" + tr("The next run is unknown without a user manager.");
    else
        text += "\n" + tr("Next run: %1\nLast run: %2").arg(Shown(entry->next), Shown(entry->last));
    ui->currentLabel->setText(text);
    QRadioButton* choice = entry->when == "hourly"     ? ui->hourlyRadio
                           : entry->when == "daily"    ? ui->dailyRadio
                           : entry->when == "weekly"   ? ui->weeklyRadio
                           : entry->when == "on-mount" ? ui->onMountRadio
                                                       : ui->customRadio;
    choice->setChecked(true);
    if (choice == ui->customRadio)
        ui->customEdit->setText(Shown(entry->when));
    ui->directionCombo->setCurrentIndex(entry->direction == "1to2" ? 1 : entry->direction == "2to1" ? 2 : 0);
    UpdateControls();
}

void ScheduleDialog::UpdateControls()
{
    ui->customEdit->setEnabled(ui->customRadio->isChecked());
}

} // namespace twinfol
