// The main window: the two locations with their histories, the four options, the auto-start mode,
// the profile box, and run control with the engine on a thread of its own.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QIcon>
#include <QTimer>

#include "app/settings_store.h"
#include "engine/delete_confirmation.h"
#include "engine/file_system.h"
#include "engine/sync_report.h"
#include "engine/sync_run_state.h"
#include "profile/profile.h"

class QCheckBox;

namespace Ui {
class MainDialog;
}

namespace twinfol {

class DialogService;
class SyncWorker;

class MainDialog : public QDialog {
    Q_OBJECT

public:
    // The window works on the given file system, settings store and dialogs, so that tests can put
    // their own in place.
    MainDialog(FileSystem& fileSystem, SettingsStore& settings, DialogService& dialogs);
    ~MainDialog() override;

    // The profile named on the command line; set before the window is first shown.
    void SetCommandLineProfile(std::string path) { commandLineProfile = std::move(path); }

    const std::vector<std::string>& Location1History() const { return location1History; }
    const std::vector<std::string>& Location2History() const { return location2History; }
    const Profile& CurrentProfile() const { return currentProfile; }
    const SyncReport& Report() const { return report; }
    const SyncRunState& RunState() const { return runState; }

    void UpdateControls();
    void PushLocationHistory(std::vector<std::string>& history, const std::string& path);
    void FillLocationLists();

    void OpenProfile(const std::string& path);
    void OnOpenProfile();
    void OnSaveProfile();
    void OnSaveProfileAs();

    void OnExclusions();
    void OnAbout();
    void OnHelp();

    void OnLocation1ToLocation2();
    void OnLocation2ToLocation1();
    void OnStop();
    void OnAutoStartTimer();

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Initialise();
    void ReadControls();
    void WriteControls();
    void ConnectControls();
    void RestoreOptions();
    std::string ReadSetting(const char* name);

    void OnBrowse(int location);
    void OnLocationChosen(int location);
    void OnOptionClicked(const QCheckBox* box);
    void OnAutoStartClicked();
    void OnDirectionClicked();
    void OnLastReport();
    void CopyShownStateIntoProfile();
    void OnExit();

    void StartRun(SyncDirection direction);
    void StartSync(std::string source, std::string target);
    void ShowLatestProgress();
    ConfirmAnswer AskDeleteOnWindow(const ConfirmQuestion& question);

    std::unique_ptr<Ui::MainDialog> ui;
    FileSystem& fileSystem;
    SettingsStore& settings;
    DialogService& dialogs;
    std::unique_ptr<SyncWorker> worker;
    QTimer progressTimer;
    QTimer autoStartTimer;
    bool initialised = false;

    std::string commandLineProfile;
    int addMissing = 0;
    int deleteMissing = 0;
    std::string location2;
    int confirmDeletes = 0;
    int checkSubFolders = 0;
    std::string executionText;
    std::string location1;
    std::string profilePath;
    int autoStart = 0;
    int autoStartDirection = -1;
    Profile currentProfile;
    SyncReport report;
    SyncRunState runState;
    std::string programFolder;
    std::vector<std::string> location1History;
    std::vector<std::string> location2History;
    QIcon appIcon;
};

}  // namespace twinfol
