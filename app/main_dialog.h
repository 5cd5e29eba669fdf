// The main window: it wires its controls to the plain classes that do the work (the location
// histories, the settings it keeps, the profile commands and run control) and holds no rules itself.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include <QDialog>
#include <QIcon>
#include <QTimer>

#include "app/execution_line.h"
#include "app/location_histories.h"
#include "app/main_dialog_fields.h"
#include "app/option_boxes.h"
#include "app/preview_command.h"
#include "app/profile_commands.h"
#include "app/run_control.h"
#include "app/undo_choice.h"
#include "app/window_settings.h"
#include "engine/fs/file_system.h"
#include "engine/records/user_places.h"
#include "settings/settings_store.h"

namespace Ui {
class MainDialog;
}

namespace twinfol {

class DialogService;

class MainDialog : public QDialog {
    Q_OBJECT

public:
    // The window works on the given file system, settings store and dialogs, and keeps run journals
    // and uses the Trash at the given places, so that tests can put their own in place. A profile that
    // asks for an automatic start starts its run the given delay after the window has opened.
    MainDialog(FileSystem& fileSystem, SettingsStore& settings, DialogService& dialogs, UserPlaces places,
               std::chrono::milliseconds autoStartDelay = std::chrono::milliseconds(1000));
    ~MainDialog() override;

    // The profile named on the command line; set before the window is first shown.
    void SetCommandLineProfile(std::string path) { commandLineProfile = std::move(path); }

    const LocationHistories& Histories() const { return histories; }
    const Profile& CurrentProfile() const { return profileCommands.Current(); }
    const RunControl& Run() const { return runControl; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ConnectControls();
    void ConnectRunControl();
    void Initialise();
    void ReadControls();
    void WriteControls();
    void UpdateControls();
    void PushLocationHistory(LocationSide side, const std::string& path);
    void FillLocationLists();

    void OnBrowse(LocationSide side);
    void OnLocationChosen(LocationSide side);
    void CommitLocationChoices();
    void OnOptionClicked(JobFlag option);
    void OnAutoStartClicked();
    void OnUndo();
    void AskAndStartUndo(const UndoChoice& choice);
    // Looks again for the run "Undo Last Run" would undo when the locations changed or a run ended.
    void RefreshUndoChoice();
    void UpdateUndoButton();
    void OnExit();

    // Opens the profile file; the message for the person, empty when there is none, is the caller's
    // to show.
    QString OpenProfile(const std::string& path);
    void OnOpenProfile();
    void OnSaveProfile();
    void OnSaveProfileAs();
    void OnExclusions();
    void OnAbout();
    void OnHelp();

    void OnLocation1ToLocation2();
    void OnLocation2ToLocation1();
    void OnStop();
    void StartRun(SyncDirection direction);
    // The job's options as the window's controls and settings have them, for a run or its preview.
    SyncOptions RunOptions();
    void StartPreview(SyncDirection direction);
    void OnAutoStartTimer();
    void OnProgress(const std::string& text);
    void OnRunFinished();
    void RestFocusAfterRun();

    std::unique_ptr<Ui::MainDialog> ui;
    const OptionBoxes optionBoxes{*ui};
    FileSystem& fileSystem;
    DialogService& dialogs;
    const UserPlaces places;
    WindowSettings windowSettings;
    int trashKeepDays = defaultTrashKeepDays;
    std::optional<UndoChoice> undoChoice;
    // The locations the choice was found for; it is looked for again when they change.
    std::string undoChoiceFor;
    bool undoChoiceStale = true;
    QTimer autoStartTimer{this};
    bool initialised = false;

    std::string commandLineProfile;
    // What opening the command-line profile has to say, shown once the window is on screen.
    QString startupMessage;
    MainDialogFields fields;
    ProfileCommands profileCommands;
    std::string programFolder;
    LocationHistories histories;
    QIcon appIcon;
    // Both owned by the widgets they serve.
    ExecutionLine* executionLine = nullptr;
    PreviewCommand* preview = nullptr;
    // Declared last, so that it goes first: a run still in progress ends before anything it may
    // reach (the dialogs, this window) is gone.
    RunControl runControl;
};

} // namespace twinfol
