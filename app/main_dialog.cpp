// The main window's wiring: controls copied into its fields and back, handlers that call the plain
// classes, and the enabling rules.
#include "app/main_dialog.h"

#include <QCoreApplication>
#include <QScreen>

#include <utility>

#include "app/about_dialog.h"
#include "app/dialog_service.h"
#include "app/empty_source_question.h"
#include "app/exclusions_command.h"
#include "app/history_command.h"
#include "app/manual_location.h"
#include "app/running_frames.h"
#include "app/schedule_command.h"
#include "app/screen_fit.h"
#include "base/display_text.h"
#include "base/path.h"
#include "ui_main_dialog.h"

namespace twinfol {

MainDialog::MainDialog(FileSystem& fileSystem, SettingsStore& settings, DialogService& dialogs,
                       UserPlaces places, std::chrono::milliseconds autoStartDelay)
    : ui(std::make_unique<Ui::MainDialog>()), fileSystem(fileSystem), dialogs(dialogs),
      places(std::move(places)), windowSettings(settings),
      profileCommands(fileSystem, windowSettings, dialogs, this),
      runControl(fileSystem, this->places,
                 [this](const ConfirmQuestion& question) { return this->dialogs.AskDelete(this, question); })
{
    ui->setupUi(this);
    // The bound values start as the controls were made, every box clear: initialisation fills them
    // from the settings or the command-line profile, and one that cannot be opened leaves them clear.
    ReadControls();
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    appIcon = QIcon(QStringLiteral(":/resources/twinfol.svg"));
    // Both frames are hidden whenever no run is active, also before the window is first shown.
    PrepareRunningFrame(*ui->running1To2Frame, *ui->location1To2Button);
    PrepareRunningFrame(*ui->running2To1Frame, *ui->location2To1Button);
    ui->stopButton->setEnabled(false);
    autoStartTimer.setObjectName(QStringLiteral("autoStartTimer"));
    autoStartTimer.setInterval(autoStartDelay);
    executionLine = new ExecutionLine(*ui->executionEdit, *ui->executionRow);
    preview = new PreviewCommand(
        *ui->previewButton, runControl, dialogs, *this, [this](SyncDirection to) { StartPreview(to); },
        [this](SyncDirection to) { StartRun(to); });
    new HistoryCommand(*ui->historyButton, fileSystem, this->places, dialogs, *this, fields.location1,
                       [this](const UndoChoice& choice) { AskAndStartUndo(choice); });
    ConnectControls();
    ConnectRunControl();
}

MainDialog::~MainDialog() = default;

void MainDialog::ConnectControls()
{
    connect(ui->browse1Button, &QPushButton::clicked, this, [this] { OnBrowse(LocationSide::Location1); });
    connect(ui->browse2Button, &QPushButton::clicked, this, [this] { OnBrowse(LocationSide::Location2); });
    // A row is chosen when picked from the dropped-down list, or, after the keys moved through the
    // closed list, when the person leaves it.
    connect(ui->location1Combo, &LocationComboBox::LocationChosen, this,
            [this] { OnLocationChosen(LocationSide::Location1); });
    connect(ui->location2Combo, &LocationComboBox::LocationChosen, this,
            [this] { OnLocationChosen(LocationSide::Location2); });
    optionBoxes.ConnectClicks(*this, [this](JobFlag option) { OnOptionClicked(option); });
    connect(ui->autoStartCheck, &QCheckBox::clicked, this, &MainDialog::OnAutoStartClicked);
    connect(ui->direction1To2Radio, &QRadioButton::clicked, this, &MainDialog::OnAutoStartClicked);
    connect(ui->direction2To1Radio, &QRadioButton::clicked, this, &MainDialog::OnAutoStartClicked);
    connect(ui->openButton, &QPushButton::clicked, this, &MainDialog::OnOpenProfile);
    connect(ui->saveButton, &QPushButton::clicked, this, &MainDialog::OnSaveProfile);
    connect(ui->saveAsButton, &QPushButton::clicked, this, &MainDialog::OnSaveProfileAs);
    ConnectScheduleCommand(*ui->scheduleButton, *this, dialogs, fields.profilePath);
    connect(ui->exclusionsButton, &QPushButton::clicked, this, &MainDialog::OnExclusions);
    connect(ui->aboutButton, &QPushButton::clicked, this, &MainDialog::OnAbout);
    connect(ui->helpButton, &QPushButton::clicked, this, &MainDialog::OnHelp);
    connect(ui->lastReportButton, &QPushButton::clicked, this, [this] {
        dialogs.ShowReport(this, runControl.Report(), runControl.Report().source, runControl.Report().target);
    });
    connect(ui->undoButton, &QPushButton::clicked, this, &MainDialog::OnUndo);
    connect(ui->exitButton, &QPushButton::clicked, this, &MainDialog::OnExit);
    connect(ui->location1To2Button, &QPushButton::clicked, this, &MainDialog::OnLocation1ToLocation2);
    connect(ui->location2To1Button, &QPushButton::clicked, this, &MainDialog::OnLocation2ToLocation1);
    connect(ui->stopButton, &QPushButton::clicked, this, &MainDialog::OnStop);
    connect(&autoStartTimer, &QTimer::timeout, this, &MainDialog::OnAutoStartTimer);
}

void MainDialog::ConnectRunControl()
{
    connect(&runControl, &RunControl::Started, this, &MainDialog::UpdateControls);
    connect(&runControl, &RunControl::ProgressChanged, this, &MainDialog::OnProgress);
    connect(&runControl, &RunControl::Finished, this, &MainDialog::OnRunFinished);
    connect(&runControl, &RunControl::CopyCountersChanged, executionLine, &ExecutionLine::ShowCounters);
    connect(&runControl, &RunControl::QuestionOpened, executionLine, &ExecutionLine::PauseRate);
    connect(&runControl, &RunControl::QuestionClosed, executionLine, &ExecutionLine::ResumeRate);
    // The window is idle again before the preview opens, so that "Synchronise" can start the run.
    connect(&runControl, &RunControl::PlanFinished, this, [this] {
        fields.executionText.clear();
        executionLine->Clear();
        UpdateControls();
        preview->ShowFinishedPlan();
    });
}

void MainDialog::showEvent(QShowEvent* event)
{
    if (!initialised) {
        initialised = true;
        Initialise();
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
        FitToScreen(*this);
    }
    QDialog::showEvent(event);
    // A message about the command-line profile waits until the window is shown, to open centred on it.
    if (!startupMessage.isEmpty())
        QTimer::singleShot(0, this, [this] {
            const QString message = std::exchange(startupMessage, QString());
            if (!message.isEmpty())
                dialogs.ShowMessage(this, message);
        });
}

void MainDialog::Initialise()
{
    setWindowIcon(appIcon);
    programFolder = QCoreApplication::applicationDirPath().toStdString() + pathSeparator;
    histories = windowSettings.ReadHistories();
    trashKeepDays = windowSettings.ReadTrashKeepDays();
    FillLocationLists();
    fields.autoStartDirection = 0;
    // Show the first direction before a command-line profile is opened: opening reads the controls,
    // and a profile without an automatic start then keeps the radio pair on its first button.
    WriteControls();
    if (!commandLineProfile.empty()) {
        startupMessage = OpenProfile(commandLineProfile);
    } else {
        windowSettings.ReadOptions(fields.options);
        fields.options.autoStart = AutoStart::Off;
    }
    WriteControls();
    UpdateControls();
    if (fields.options.autoStart != AutoStart::Off)
        autoStartTimer.start();
}

void MainDialog::ReadControls()
{
    optionBoxes.Read(fields.options);
    fields.location1 = ui->location1Combo->CurrentLocation();
    fields.location2 = ui->location2Combo->CurrentLocation();
    // The profile box and the progress line are read-only: what they show is always what the fields
    // hold, so their texts are not read back (which would also lose bytes that are not UTF-8).
    fields.autoStartDirection = ui->direction1To2Radio->isChecked()   ? 0
                                : ui->direction2To1Radio->isChecked() ? 1
                                                                      : -1;
    fields.options.autoStart = !ui->autoStartCheck->isChecked() ? AutoStart::Off
                               : fields.autoStartDirection == 0 ? AutoStart::Location1ToLocation2
                                                                : AutoStart::Location2ToLocation1;
}

void MainDialog::WriteControls()
{
    optionBoxes.Write(fields.options);
    ui->location1Combo->SelectLocation(fields.location1);
    ui->location2Combo->SelectLocation(fields.location2);
    executionLine->ShowOperation(fields.executionText);
    ui->profilePathEdit->setText(QString::fromStdString(ForDisplay(fields.profilePath)));
    ui->autoStartCheck->setChecked(fields.options.autoStart != AutoStart::Off);
    // Neither radio button is checked for -1, which an exclusive pair cannot show.
    ui->direction1To2Radio->setAutoExclusive(false);
    ui->direction2To1Radio->setAutoExclusive(false);
    ui->direction1To2Radio->setChecked(fields.autoStartDirection == 0);
    ui->direction2To1Radio->setChecked(fields.autoStartDirection == 1);
    ui->direction1To2Radio->setAutoExclusive(true);
    ui->direction2To1Radio->setAutoExclusive(true);
}

void MainDialog::UpdateControls()
{
    ReadControls();
    ui->saveButton->setEnabled(fields.profilePath.empty() || profileCommands.Current().modified);
    ui->saveAsButton->setEnabled(true);
    const bool hasProfile = !fields.profilePath.empty();
    ui->autoStartCheck->setEnabled(hasProfile);
    ui->scheduleButton->setEnabled(hasProfile && !profileCommands.Current().modified);
    const bool autoStarts = fields.options.autoStart != AutoStart::Off;
    ui->direction1To2Radio->setEnabled(hasProfile && autoStarts);
    ui->direction2To1Radio->setEnabled(hasProfile && autoStarts);

    const bool running = runControl.IsRunning();
    // A refused run has no report to show, only the reason it was refused.
    const SyncReport& report = runControl.Report();
    ui->lastReportButton->setEnabled(!running && report.HasRun() && report.refusal.empty());
    UpdateUndoButton();
    for (QWidget* control : std::initializer_list<QWidget*>{
             ui->openButton, ui->exclusionsButton, ui->browse1Button, ui->browse2Button, ui->location1Combo,
             ui->location2Combo, ui->exitButton, ui->previewButton, ui->historyButton})
        control->setEnabled(!running);
    optionBoxes.SetEnabled(!running);
    ui->stopButton->setEnabled(running);
    ui->running1To2Frame->setVisible(runControl.RunningDirection() == SyncDirection::Location1ToLocation2);
    ui->running2To1Frame->setVisible(runControl.RunningDirection() == SyncDirection::Location2ToLocation1);
}

void MainDialog::PushLocationHistory(LocationSide side, const std::string& path)
{
    histories.Push(side, path);
    UpdateControls();
    FillLocationLists();
}

void MainDialog::FillLocationLists()
{
    ui->location1Combo->clear();
    ui->location2Combo->clear();
    for (std::size_t place = 0; place < histories.Of(LocationSide::Location1).size() &&
                                place < histories.Of(LocationSide::Location2).size();
         ++place) {
        ui->location1Combo->AddLocation(histories.Entry(LocationSide::Location1, place));
        ui->location2Combo->AddLocation(histories.Entry(LocationSide::Location2, place));
    }
    fields.location1 = histories.Front(LocationSide::Location1);
    fields.location2 = histories.Front(LocationSide::Location2);
    ui->location1Combo->setCurrentIndex(0);
    ui->location2Combo->setCurrentIndex(0);
    WriteControls();
    UpdateUndoButton();
}

// Enter ("Exit") and the automatic start act without the focus leaving a list the keys moved through.
void MainDialog::CommitLocationChoices()
{
    ui->location1Combo->CommitPendingChoice();
    ui->location2Combo->CommitPendingChoice();
}

void MainDialog::OnBrowse(LocationSide side)
{
    ReadControls();
    const QString caption =
        side == LocationSide::Location1 ? tr("Select Folder Location 1") : tr("Select Folder Location 2");
    const std::optional<std::string> chosen = dialogs.BrowseFolder(this, caption, fields.Location(side));
    if (!chosen)
        return;
    WriteControls();
    profileCommands.SetLocation(side, *chosen);
    PushLocationHistory(side, *chosen);
}

void MainDialog::OnLocationChosen(LocationSide side)
{
    ReadControls();
    const std::string chosen = fields.Location(side);
    // A blank row names no folder: the profile keeps its location and the list shows the front entry.
    if (!chosen.empty())
        profileCommands.SetLocation(side, chosen);
    PushLocationHistory(side, chosen);
}

void MainDialog::OnOptionClicked(JobFlag option)
{
    ReadControls();
    profileCommands.SetOption(option, fields);
    UpdateControls();
}

// The box and both radio buttons: the radio pair only chooses the direction of the automatic start.
void MainDialog::OnAutoStartClicked()
{
    ReadControls();
    profileCommands.SetAutoStart(fields);
    UpdateControls();
}

// Looked for again only when the locations changed or a run ended, so that a click elsewhere costs
// no look at the journals.
void MainDialog::UpdateUndoButton()
{
    const bool running = runControl.IsRunning();
    if (!running)
        RefreshUndoChoice();
    ui->undoButton->setEnabled(!running && undoChoice.has_value());
}

void MainDialog::RefreshUndoChoice()
{
    const std::string locations = fields.location1 + '\0' + fields.location2;
    if (!undoChoiceStale && locations == undoChoiceFor)
        return;
    undoChoice = FindUndoChoice(fileSystem, places, fields.location1, fields.location2);
    undoChoiceFor = locations;
    undoChoiceStale = false;
}

void MainDialog::OnUndo()
{
    if (runControl.IsRunning())
        return;
    ReadControls();
    undoChoiceStale = true;
    RefreshUndoChoice();
    if (undoChoice)
        AskAndStartUndo(*undoChoice);
    else
        UpdateControls();
}

// The "Undo Last Run" path, for the History window's "Undo" too.
void MainDialog::AskAndStartUndo(const UndoChoice& choice)
{
    const UndoExtent extent = MeasureUndo(fileSystem, choice.run, WithTrailingSeparator(choice.target));
    if (!runControl.IsRunning() &&
        dialogs.AskUndo(this, QString::fromStdString(UndoQuestionText(choice, extent))))
        runControl.StartUndo(choice.direction, choice.run, choice.target);
}

// The profile is not saved and nothing is asked about its changes: the options stored are those of
// the window's boxes, whether or not a profile is open.
void MainDialog::OnExit()
{
    CommitLocationChoices();
    ReadControls();
    windowSettings.SaveOnExit(fields.options, histories);
    ReadControls();
    done(QDialog::Accepted);
}

void MainDialog::reject()
{
    if (runControl.IsRunning()) {
        dialogs.ShowMessage(this, tr("Twinfol cannot be closed whilst a synchronisation is running.\n"
                                     "Use the Stop button first"));
        return;
    }
    QDialog::reject();
}

QString MainDialog::OpenProfile(const std::string& path)
{
    ReadControls();
    const ProfileOpening opening = profileCommands.Open(path, fields);
    if (!opening.taken)
        return opening.message;
    WriteControls();
    PushLocationHistory(LocationSide::Location1, profileCommands.Current().location1);
    PushLocationHistory(LocationSide::Location2, profileCommands.Current().location2);
    UpdateControls();
    return opening.message;
}

void MainDialog::OnOpenProfile()
{
    const std::optional<std::string> chosen = profileCommands.ChooseFileToOpen();
    if (!chosen)
        return;
    if (const QString message = OpenProfile(*chosen); !message.isEmpty())
        dialogs.ShowMessage(this, message);
}

void MainDialog::OnSaveProfile()
{
    if (fields.profilePath.empty()) {
        OnSaveProfileAs();
        return;
    }
    profileCommands.Save(fields.profilePath);
    UpdateControls();
}

void MainDialog::OnSaveProfileAs()
{
    ReadControls();
    if (!profileCommands.SaveAs(fields))
        return;
    WriteControls();
    UpdateControls();
}

void MainDialog::OnExclusions()
{
    ReadControls();
    if (EditExclusions(*this, dialogs, fileSystem, profileCommands, fields))
        UpdateControls();
}

void MainDialog::OnAbout()
{
    AboutDialog dialog(this, appIcon);
    dialogs.Run(dialog);
}

void MainDialog::OnHelp()
{
    if (const std::optional<std::string> manual = FindManual(fileSystem, programFolder))
        dialogs.OpenDocument(*manual);
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
    runControl.Stop();
}

void MainDialog::OnAutoStartTimer()
{
    autoStartTimer.stop();
    if (fields.autoStartDirection == 0)
        OnLocation1ToLocation2();
    else if (fields.autoStartDirection == 1)
        OnLocation2ToLocation1();
}

// The run goes on on the engine's thread after this returns; the window stays responsive and the
// run ends in OnRunFinished.
void MainDialog::StartRun(SyncDirection direction)
{
    if (runControl.IsRunning()) {
        dialogs.ShowMessage(this, tr("There is already a synchronisation running"));
        return;
    }
    const SyncOptions options = RunOptions();
    const auto askEmptySource = [this](const EmptySourceLosses& losses, const std::string& source,
                                       const std::string& target) {
        return dialogs.AskWarning(this, EmptySourceQuestion(losses, source, target));
    };
    const std::string refusal = runControl.Start(direction, fields.location1, fields.location2, options,
                                                 profileCommands.Current().exclusions, askEmptySource);
    if (!refusal.empty()) {
        RestFocusAfterRun();
        dialogs.ShowMessage(this, QString::fromStdString(refusal));
    }
}

// The focus leaves the run button, so that a stray Enter cannot run again; a report or message
// window hands it back to whatever holds it here.
void MainDialog::RestFocusAfterRun()
{
    if (ui->lastReportButton->isEnabled())
        ui->lastReportButton->setFocus(Qt::OtherFocusReason);
    else
        ui->location1Combo->setFocus(Qt::OtherFocusReason);
}

SyncOptions MainDialog::RunOptions()
{
    CommitLocationChoices();
    ReadControls();
    SyncOptions options = fields.options;
    options.trashKeepDays = trashKeepDays;
    return options;
}

// The planning walk runs on its own thread like a run, with the window busy and "Stop" working.
void MainDialog::StartPreview(SyncDirection direction)
{
    if (runControl.IsRunning())
        return;
    const SyncOptions options = RunOptions();
    const std::string refusal = runControl.StartPlan(direction, fields.location1, fields.location2, options,
                                                     profileCommands.Current().exclusions);
    if (!refusal.empty())
        dialogs.ShowMessage(this, QString::fromStdString(refusal));
}

void MainDialog::OnProgress(const std::string& text)
{
    fields.executionText = text;
    executionLine->ShowOperation(fields.executionText);
}

// The window is idle again before the report opens, so "Last Report" is ready when it closes.
void MainDialog::OnRunFinished()
{
    undoChoiceStale = true;
    fields.executionText.clear();
    executionLine->Clear();
    WriteControls();
    UpdateControls();
    RestFocusAfterRun();
    const SyncReport& report = runControl.Report();
    // A run refused at its start touched nothing: there is no report to show, only the reason.
    if (!report.refusal.empty())
        dialogs.ShowMessage(this, QString::fromStdString(report.refusal));
    else
        dialogs.ShowReport(this, report, report.source, report.target);
}

} // namespace twinfol
