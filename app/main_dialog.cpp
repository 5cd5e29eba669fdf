// The main window's handlers, its enabling rules and run control.
#include "app/main_dialog.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>

#include "app/about_dialog.h"
#include "app/dialog_service.h"
#include "app/exclusions_dialog.h"
#include "app/sync_worker.h"
#include "engine/sync_roots.h"
#include "ui_main_dialog.h"

namespace twinfol {
namespace {

constexpr int historySize = 5;
constexpr const char* historyLetters = "ABCDE";
// At most this many progress texts a second reach the "Execution" line: enough to follow, and
// cheap enough never to slow a run.
constexpr int progressIntervalMs = 50;

// A row of a location list shows the path and keeps its bytes, so that a name that is not valid UTF-8
// reaches the engine exactly as it was chosen.
std::string RowBytes(const QComboBox* list)
{
    return list->currentData().toByteArray().toStdString();
}

void AddRow(QComboBox* list, const std::string& path)
{
    list->addItem(QString::fromStdString(path), QByteArray::fromStdString(path));
}

}  // namespace

MainDialog::MainDialog(FileSystem& fileSystem, SettingsStore& settings, DialogService& dialogs)
    : ui(std::make_unique<Ui::MainDialog>()), fileSystem(fileSystem), settings(settings), dialogs(dialogs)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    appIcon = QIcon(QStringLiteral(":/resources/twinfol.svg"));
    worker = std::make_unique<SyncWorker>(fileSystem, runState, report,
                                          [this](const ConfirmQuestion& question) { return AskDeleteOnWindow(question); });
    // Both frames are hidden whenever no run is active, also before the window is first shown. They
    // keep their room while hidden, so the fixed-size window never changes size when one appears.
    for (QWidget* frame : {static_cast<QWidget*>(ui->running1To2Frame), static_cast<QWidget*>(ui->running2To1Frame)}) {
        QSizePolicy policy = frame->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        frame->setSizePolicy(policy);
        frame->hide();
    }
    ui->stopButton->setEnabled(false);
    progressTimer.setInterval(progressIntervalMs);
    autoStartTimer.setInterval(1000);
    ConnectControls();
}

MainDialog::~MainDialog() = default;

void MainDialog::ConnectControls()
{
    connect(ui->browse1Button, &QPushButton::clicked, this, [this] { OnBrowse(1); });
    connect(ui->browse2Button, &QPushButton::clicked, this, [this] { OnBrowse(2); });
    connect(ui->location1Combo, &QComboBox::activated, this, [this] { OnLocationChosen(1); });
    connect(ui->location2Combo, &QComboBox::activated, this, [this] { OnLocationChosen(2); });
    connect(ui->deleteMissingCheck, &QCheckBox::clicked, this, [this] { OnOptionClicked(ui->deleteMissingCheck); });
    connect(ui->addMissingCheck, &QCheckBox::clicked, this, [this] { OnOptionClicked(ui->addMissingCheck); });
    connect(ui->confirmDeletesCheck, &QCheckBox::clicked, this,
            [this] { OnOptionClicked(ui->confirmDeletesCheck); });
    connect(ui->checkSubFoldersCheck, &QCheckBox::clicked, this,
            [this] { OnOptionClicked(ui->checkSubFoldersCheck); });
    connect(ui->autoStartCheck, &QCheckBox::clicked, this, &MainDialog::OnAutoStartClicked);
    connect(ui->direction1To2Radio, &QRadioButton::clicked, this, &MainDialog::OnDirectionClicked);
    connect(ui->direction2To1Radio, &QRadioButton::clicked, this, &MainDialog::OnDirectionClicked);
    connect(ui->openButton, &QPushButton::clicked, this, &MainDialog::OnOpenProfile);
    connect(ui->saveButton, &QPushButton::clicked, this, &MainDialog::OnSaveProfile);
    connect(ui->saveAsButton, &QPushButton::clicked, this, &MainDialog::OnSaveProfileAs);
    connect(ui->exclusionsButton, &QPushButton::clicked, this, &MainDialog::OnExclusions);
    connect(ui->aboutButton, &QPushButton::clicked, this, &MainDialog::OnAbout);
    connect(ui->helpButton, &QPushButton::clicked, this, &MainDialog::OnHelp);
    connect(ui->lastReportButton, &QPushButton::clicked, this, &MainDialog::OnLastReport);
    connect(ui->exitButton, &QPushButton::clicked, this, &MainDialog::OnExit);
    connect(ui->location1To2Button, &QPushButton::clicked, this, &MainDialog::OnLocation1ToLocation2);
    connect(ui->location2To1Button, &QPushButton::clicked, this, &MainDialog::OnLocation2ToLocation1);
    connect(ui->stopButton, &QPushButton::clicked, this, &MainDialog::OnStop);
    connect(&progressTimer, &QTimer::timeout, this, &MainDialog::ShowLatestProgress);
    connect(&autoStartTimer, &QTimer::timeout, this, &MainDialog::OnAutoStartTimer);
}

void MainDialog::showEvent(QShowEvent* event)
{
    if (!initialised) {
        initialised = true;
        Initialise();
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
}

std::string MainDialog::ReadSetting(const char* name)
{
    std::string value;
    if (!settings.ReadRegString(name, value))
        value.clear();
    return value;
}

void MainDialog::Initialise()
{
    setWindowIcon(appIcon);
    programFolder = QCoreApplication::applicationDirPath().toStdString() + pathSeparator;
    location1History.clear();
    location2History.clear();
    for (int place = 0; place < historySize; ++place) {
        const std::string letter(1, historyLetters[place]);
        location1History.push_back(ReadSetting(("Location1" + letter).c_str()));
        location2History.push_back(ReadSetting(("Location2" + letter).c_str()));
    }
    location1 = location1History.front();
    location2 = location2History.front();
    FillLocationLists();
    autoStartDirection = 0;
    // Show the first direction before a command-line profile is opened: opening reads the controls,
    // and a profile without an automatic start then keeps the radio pair on its first button.
    WriteControls();
    if (!commandLineProfile.empty())
        OpenProfile(commandLineProfile);
    else
        RestoreOptions();
    WriteControls();
    UpdateControls();
    if (autoStart != 0)
        autoStartTimer.start();
}

void MainDialog::RestoreOptions()
{
    const auto readOption = [this](const char* name) {
        std::uint32_t value = 0;
        return settings.ReadRegNumber(name, value) ? (value != 0 ? 1 : 0) : 1;
    };
    addMissing = readOption("AddMissing");
    deleteMissing = readOption("DelMissing");
    confirmDeletes = readOption("CheckDel");
    checkSubFolders = readOption("SubFolders");
    autoStart = 0;
}

void MainDialog::ReadControls()
{
    addMissing = ui->addMissingCheck->isChecked() ? 1 : 0;
    deleteMissing = ui->deleteMissingCheck->isChecked() ? 1 : 0;
    confirmDeletes = ui->confirmDeletesCheck->isChecked() ? 1 : 0;
    checkSubFolders = ui->checkSubFoldersCheck->isChecked() ? 1 : 0;
    location1 = RowBytes(ui->location1Combo);
    location2 = RowBytes(ui->location2Combo);
    // The profile box and the progress line are read-only: what they show is always what the members
    // hold, so their texts are not read back (which would also lose bytes that are not UTF-8).
    autoStart = ui->autoStartCheck->isChecked() ? 1 : 0;
    autoStartDirection = ui->direction1To2Radio->isChecked() ? 0 : ui->direction2To1Radio->isChecked() ? 1 : -1;
}

void MainDialog::WriteControls()
{
    ui->addMissingCheck->setChecked(addMissing != 0);
    ui->deleteMissingCheck->setChecked(deleteMissing != 0);
    ui->confirmDeletesCheck->setChecked(confirmDeletes != 0);
    ui->checkSubFoldersCheck->setChecked(checkSubFolders != 0);
    const auto select = [](QComboBox* list, const std::string& text) {
        const int row = list->findData(QByteArray::fromStdString(text));
        if (row >= 0)
            list->setCurrentIndex(row);
    };
    select(ui->location1Combo, location1);
    select(ui->location2Combo, location2);
    ui->executionEdit->setText(QString::fromStdString(executionText));
    ui->profilePathEdit->setText(QString::fromStdString(profilePath));
    ui->autoStartCheck->setChecked(autoStart != 0);
    // Neither radio button is checked for -1, which an exclusive pair cannot show.
    ui->direction1To2Radio->setAutoExclusive(false);
    ui->direction2To1Radio->setAutoExclusive(false);
    ui->direction1To2Radio->setChecked(autoStartDirection == 0);
    ui->direction2To1Radio->setChecked(autoStartDirection == 1);
    ui->direction1To2Radio->setAutoExclusive(true);
    ui->direction2To1Radio->setAutoExclusive(true);
}

void MainDialog::UpdateControls()
{
    ReadControls();
    ui->saveButton->setEnabled(profilePath.empty() || currentProfile.modified);
    ui->saveAsButton->setEnabled(true);
    const bool hasProfile = !profilePath.empty();
    ui->autoStartCheck->setEnabled(hasProfile);
    ui->direction1To2Radio->setEnabled(hasProfile && autoStart != 0);
    ui->direction2To1Radio->setEnabled(hasProfile && autoStart != 0);

    const bool running = runState.IsRunning();
    ui->lastReportButton->setEnabled(!running && report.HasRun());
    for (QWidget* control : std::initializer_list<QWidget*>{
             ui->openButton, ui->exclusionsButton, ui->browse1Button, ui->browse2Button, ui->deleteMissingCheck,
             ui->addMissingCheck, ui->confirmDeletesCheck, ui->checkSubFoldersCheck, ui->location1Combo,
             ui->location2Combo, ui->exitButton})
        control->setEnabled(!running);
    ui->stopButton->setEnabled(running);
    ui->running1To2Frame->setVisible(runState.runningDirection == SyncDirection::Location1ToLocation2);
    ui->running2To1Frame->setVisible(runState.runningDirection == SyncDirection::Location2ToLocation1);
}

void MainDialog::PushLocationHistory(std::vector<std::string>& history, const std::string& path)
{
    if (!path.empty()) {
        const auto found = std::find(history.begin(), history.end(), path);
        if (found != history.end())
            history.erase(found);
        else if (!history.empty())
            history.pop_back();
        history.insert(history.begin(), path);
    }
    UpdateControls();
    FillLocationLists();
}

void MainDialog::FillLocationLists()
{
    ui->location1Combo->clear();
    ui->location2Combo->clear();
    for (std::size_t place = 0; place < location1History.size() && place < location2History.size(); ++place) {
        AddRow(ui->location1Combo, location1History[place]);
        AddRow(ui->location2Combo, location2History[place]);
    }
    location1 = location1History.empty() ? std::string() : location1History.front();
    location2 = location2History.empty() ? std::string() : location2History.front();
    ui->location1Combo->setCurrentIndex(0);
    ui->location2Combo->setCurrentIndex(0);
    WriteControls();
}

void MainDialog::OnBrowse(int location)
{
    ReadControls();
    const bool first = location == 1;
    const std::optional<std::string> chosen =
        dialogs.BrowseFolder(this, first ? tr("Select Folder Location 1") : tr("Select Folder Location 2"),
                             first ? location1 : location2);
    if (!chosen)
        return;
    WriteControls();
    if (first) {
        currentProfile.SetLocation1(*chosen);
        PushLocationHistory(location1History, *chosen);
    } else {
        currentProfile.SetLocation2(*chosen);
        PushLocationHistory(location2History, *chosen);
    }
}

void MainDialog::OnLocationChosen(int location)
{
    ReadControls();
    const bool first = location == 1;
    const std::string chosen = RowBytes(first ? ui->location1Combo : ui->location2Combo);
    // A blank row names no folder: the profile keeps its location and the list shows the front entry.
    if (!chosen.empty()) {
        if (first)
            currentProfile.SetLocation1(chosen);
        else
            currentProfile.SetLocation2(chosen);
    }
    PushLocationHistory(first ? location1History : location2History, chosen);
}

void MainDialog::OnOptionClicked(const QCheckBox* box)
{
    ReadControls();
    if (box == ui->deleteMissingCheck)
        currentProfile.deleteFiles = deleteMissing != 0;
    else if (box == ui->addMissingCheck)
        currentProfile.addFiles = addMissing != 0;
    else if (box == ui->confirmDeletesCheck)
        currentProfile.confirmDeletes = confirmDeletes != 0;
    else
        currentProfile.checkSubFolders = checkSubFolders != 0;
    currentProfile.modified = true;
    UpdateControls();
}

void MainDialog::OnAutoStartClicked()
{
    ReadControls();
    currentProfile.autoStart = autoStart == 0 ? 0 : autoStartDirection == 0 ? 1 : 2;
    currentProfile.modified = true;
    UpdateControls();
}

void MainDialog::OnDirectionClicked()
{
    ReadControls();
    currentProfile.autoStart = autoStartDirection == 0 ? 1 : 2;
    currentProfile.modified = true;
    UpdateControls();
}

void MainDialog::OpenProfile(const std::string& path)
{
    ReadControls();
    const ProfileLoadResult loaded = currentProfile.ReadFile(fileSystem, path);
    if (loaded.status == ProfileLoadStatus::CannotOpen) {
        dialogs.ShowMessage(this, tr("Could not open file: ") + QString::fromStdString(path));
        return;
    }
    if (loaded.status == ProfileLoadStatus::Loaded) {
        profilePath = path;
    } else {
        dialogs.ShowMessage(this, QString::fromStdString(path) + tr(" is not a valid Twinfol profile"));
        profilePath.clear();
    }
    deleteMissing = currentProfile.deleteFiles ? 1 : 0;
    confirmDeletes = currentProfile.confirmDeletes ? 1 : 0;
    addMissing = currentProfile.addFiles ? 1 : 0;
    checkSubFolders = currentProfile.checkSubFolders ? 1 : 0;
    location1 = currentProfile.location1;
    location2 = currentProfile.location2;
    switch (currentProfile.autoStart) {
    case 0: autoStart = 0; break;
    case 1: autoStart = 1; autoStartDirection = 0; break;
    case 2: autoStart = 1; autoStartDirection = 1; break;
    default: break;
    }
    WriteControls();
    PushLocationHistory(location1History, currentProfile.location1);
    PushLocationHistory(location2History, currentProfile.location2);
    UpdateControls();
}

void MainDialog::OnOpenProfile()
{
    const std::optional<std::string> chosen = dialogs.OpenProfileName(this, ReadSetting("OpenPath"));
    if (!chosen)
        return;
    settings.WriteRegString("OpenPath", *chosen);
    OpenProfile(*chosen);
}

void MainDialog::OnSaveProfile()
{
    if (profilePath.empty()) {
        OnSaveProfileAs();
        return;
    }
    if (!currentProfile.WriteFile(fileSystem, profilePath))
        dialogs.ShowMessage(this, tr("Could not open file: ") + QString::fromStdString(profilePath));
    UpdateControls();
}

void MainDialog::OnSaveProfileAs()
{
    const std::optional<std::string> chosen = dialogs.SaveProfileName(this, ReadSetting("OpenPath"));
    if (!chosen)
        return;
    settings.WriteRegString("OpenPath", *chosen);
    if (profilePath.empty())
        CopyShownStateIntoProfile();
    if (!currentProfile.WriteFile(fileSystem, *chosen)) {
        dialogs.ShowMessage(this, tr("Could not open file: ") + QString::fromStdString(*chosen));
        return;
    }
    ReadControls();
    profilePath = *chosen;
    WriteControls();
    UpdateControls();
}

// Until a profile has a file of its own, the window may show options and locations restored from
// the settings store that the profile never saw; what is saved is what the user sees.
void MainDialog::CopyShownStateIntoProfile()
{
    ReadControls();
    currentProfile.location1 = location1;
    currentProfile.location2 = location2;
    currentProfile.deleteFiles = deleteMissing != 0;
    currentProfile.confirmDeletes = confirmDeletes != 0;
    currentProfile.addFiles = addMissing != 0;
    currentProfile.checkSubFolders = checkSubFolders != 0;
    currentProfile.autoStart = autoStart == 0 ? 0 : autoStartDirection == 1 ? 2 : 1;
}

void MainDialog::OnExclusions()
{
    ExclusionsDialog dialog(this, currentProfile.exclusions, dialogs);
    if (dialogs.Run(dialog) != QDialog::Accepted)
        return;
    currentProfile.exclusions = dialog.Entries();
    currentProfile.exclusions.Sort();
    currentProfile.modified = true;
    UpdateControls();
}

void MainDialog::OnAbout()
{
    AboutDialog dialog(this, appIcon);
    dialogs.Run(dialog);
}

// The manual lies beside the program when it runs from its build folder, and under the shared
// documentation folder once installed. When neither can be opened nothing is shown.
void MainDialog::OnHelp()
{
    for (const std::string& candidate : {programFolder + "twinfol-manual.html",
                                         programFolder + "../share/doc/twinfol/twinfol-manual.html"}) {
        if (fileSystem.KindOf(candidate) == EntryKind::File) {
            dialogs.OpenDocument(candidate);
            return;
        }
    }
}

void MainDialog::OnLastReport()
{
    dialogs.ShowReport(this, report, report.source, report.target);
}

void MainDialog::OnExit()
{
    ReadControls();
    settings.WriteRegNumber("AddMissing", static_cast<std::uint32_t>(addMissing));
    settings.WriteRegNumber("DelMissing", static_cast<std::uint32_t>(deleteMissing));
    settings.WriteRegNumber("CheckDel", static_cast<std::uint32_t>(confirmDeletes));
    settings.WriteRegNumber("SubFolders", static_cast<std::uint32_t>(checkSubFolders));
    for (int place = 0; place < historySize; ++place) {
        const std::string letter(1, historyLetters[place]);
        const auto entry = [place](const std::vector<std::string>& history) {
            return static_cast<std::size_t>(place) < history.size() ? history[place] : std::string();
        };
        settings.WriteRegString("Location1" + letter, entry(location1History));
        settings.WriteRegString("Location2" + letter, entry(location2History));
    }
    ReadControls();
    done(QDialog::Accepted);
}

void MainDialog::reject()
{
    if (runState.IsRunning()) {
        dialogs.ShowMessage(this, tr("Twinfol cannot be closed whilst a synchronisation is running.\n"
                                     "Use the Stop button first"));
        return;
    }
    QDialog::reject();
}

void MainDialog::OnLocation1ToLocation2()
{
    StartRun(SyncDirection::Location1ToLocation2);
}

void MainDialog::OnLocation2ToLocation1()
{
    StartRun(SyncDirection::Location2ToLocation1);
}

void MainDialog::OnStop()
{
    runState.RequestStop();
}

void MainDialog::OnAutoStartTimer()
{
    autoStartTimer.stop();
    if (autoStartDirection == 0)
        OnLocation1ToLocation2();
    else if (autoStartDirection == 1)
        OnLocation2ToLocation1();
}

void MainDialog::StartRun(SyncDirection direction)
{
    if (runState.IsRunning()) {
        dialogs.ShowMessage(this, tr("There is already a synchronisation running"));
        return;
    }
    ReadControls();
    const bool forward = direction == SyncDirection::Location1ToLocation2;
    const RootCheck roots = CheckRoots(fileSystem, forward ? location1 : location2, forward ? location2 : location1);
    if (!roots.IsOk()) {
        dialogs.ShowMessage(this, QString::fromStdString(roots.message));
        return;
    }
    runState.runningDirection = direction;
    StartSync(roots.source, roots.target);
}

void MainDialog::StartSync(std::string source, std::string target)
{
    UpdateControls();
    runState.ResetForRun();
    report.ResetForRun();
    SyncOptions options;
    options.addMissing = addMissing;
    options.deleteMissing = deleteMissing;
    options.confirmDeletes = confirmDeletes;
    options.checkSubFolders = checkSubFolders;

    // The window keeps its own event loop while the engine works on its thread.
    QEventLoop running;
    const auto finished = connect(worker.get(), &SyncWorker::Finished, &running, &QEventLoop::quit);
    worker->Start(source, target, options, currentProfile.exclusions);
    progressTimer.start();
    running.exec();
    disconnect(finished);
    progressTimer.stop();

    runState.runningDirection = SyncDirection::None;
    report.RecordRun(std::move(source), std::move(target), runState.IsStopped());
    executionText.clear();
    WriteControls();
    UpdateControls();
    dialogs.ShowReport(this, report, report.source, report.target);
}

void MainDialog::ShowLatestProgress()
{
    if (const std::optional<std::string> text = worker->TakeProgressText()) {
        executionText = *text;
        ui->executionEdit->setText(QString::fromStdString(executionText));
    }
}

ConfirmAnswer MainDialog::AskDeleteOnWindow(const ConfirmQuestion& question)
{
    return dialogs.AskDelete(this, question);
}

}  // namespace twinfol
