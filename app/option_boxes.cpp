// The table of the main window's option boxes and the options they show.
#include "app/option_boxes.h"

#include "ui_main_dialog.h"

namespace twinfol {
namespace {

struct OptionBox {
    QCheckBox* Ui::MainDialog::*box;
    JobFlag option;
};

constexpr OptionBox optionBoxes[] = {
    {&Ui::MainDialog::deleteMissingCheck, &SyncOptions::deleteMissing},
    {&Ui::MainDialog::addMissingCheck, &SyncOptions::addMissing},
    {&Ui::MainDialog::confirmDeletesCheck, &SyncOptions::confirmDeletes},
    {&Ui::MainDialog::checkSubFoldersCheck, &SyncOptions::checkSubFolders},
    {&Ui::MainDialog::useTrashCheck, &SyncOptions::useTrash},
    {&Ui::MainDialog::ignoreHourShiftCheck, &SyncOptions::ignoreHourShift},
    {&Ui::MainDialog::replaceReadOnlyCheck, &SyncOptions::replaceReadOnly},
};

} // namespace

void OptionBoxes::ConnectClicks(QObject& receiver, const std::function<void(JobFlag)>& onClicked) const
{
    for (const OptionBox& entry : optionBoxes)
        QObject::connect(controls_.*entry.box, &QCheckBox::clicked, &receiver,
                         [onClicked, option = entry.option] { onClicked(option); });
}

void OptionBoxes::Read(SyncOptions& options) const
{
    for (const OptionBox& entry : optionBoxes)
        options.*entry.option = (controls_.*entry.box)->isChecked();
}

void OptionBoxes::Write(const SyncOptions& options) const
{
    for (const OptionBox& entry : optionBoxes)
        (controls_.*entry.box)->setChecked(options.*entry.option);
}

void OptionBoxes::SetEnabled(bool enabled) const
{
    for (const OptionBox& entry : optionBoxes)
        (controls_.*entry.box)->setEnabled(enabled);
}

} // namespace twinfol
