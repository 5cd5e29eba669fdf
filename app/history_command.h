// The "History" button: opens the History window over the runs the journal folder tells of, and
// hands the undo of a target's last run asked for there to the window's "Undo Last Run" path.
#pragma once

#include <functional>

#include <QObject>

#include "app/undo_choice.h"
#include "engine/fs/file_system.h"
#include "engine/records/user_places.h"

class QPushButton;
class QWidget;

namespace twinfol {

class DialogService;

class HistoryCommand : public QObject {
    Q_OBJECT

public:
    using UndoHandler = std::function<void(const UndoChoice&)>;

    // The window's location 1 tells which way an undone run went; it is read when the undo is asked
    // for, and must outlive this object.
    HistoryCommand(QPushButton& button, FileSystem& fileSystem, const UserPlaces& places,
                   DialogService& dialogs, QWidget& window, const std::string& location1, UndoHandler undo);

    void Open();

private:
    FileSystem& fileSystem_;
    const UserPlaces& places_;
    DialogService& dialogs_;
    QWidget& window_;
    const std::string& location1_;
    UndoHandler undo_;
};

} // namespace twinfol
