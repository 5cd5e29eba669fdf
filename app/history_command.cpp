// Opening the History window and passing an undo asked for there on to the window.
#include "app/history_command.h"

#include <QPushButton>

#include "app/dialog_service.h"
#include "reports/history_dialog.h"

namespace twinfol {

HistoryCommand::HistoryCommand(QPushButton& button, FileSystem& fileSystem, const UserPlaces& places,
                               DialogService& dialogs, QWidget& window, const std::string& location1,
                               UndoHandler undo)
    : QObject(&button), fileSystem_(fileSystem), places_(places), dialogs_(dialogs), window_(window),
      location1_(location1), undo_(std::move(undo))
{
    connect(&button, &QPushButton::clicked, this, &HistoryCommand::Open);
}

void HistoryCommand::Open()
{
    HistoryDialog history(fileSystem_, ReadRunHistory(fileSystem_, places_.journalFolder), &window_);
    if (history.exec() != QDialog::Accepted || !history.UndoAsked())
        return;
    std::string refusal;
    const std::optional<UndoChoice> choice =
        UndoChoiceForTarget(fileSystem_, places_, history.UndoAsked()->target, location1_, refusal);
    if (choice)
        undo_(*choice);
    else
        dialogs_.ShowMessage(&window_, QString::fromStdString(refusal));
}

} // namespace twinfol
