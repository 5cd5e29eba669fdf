// Start-up of the desktop program: one main window, opened with the profile named on the command line.
#include <QApplication>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/dialog_service.h"
#include "app/main_dialog.h"
#include "app/screen_fit.h"
#include "engine/changes/kept_report.h"
#include "engine/posix/posix_file_system.h"
#include "reports/report_dialog.h"
#include "settings/settings_store.h"

namespace {

void PrintHelp()
{
    std::printf("Usage: twinfol [PROFILE.twp]\n"
                "       twinfol --report FILE\n"
                "Keeps two folders in step. With a profile, opens it; a profile whose auto start is set\n"
                "starts its synchronisation one second after the window opens.\n"
                "Arguments that begin with \"-\" are switches without effect, apart from these:\n"
                "  --report FILE  show the run report kept in FILE (twinfol-sync --history names them)\n"
                "  --help     show this text and exit\n"
                "  --version  show the version and exit\n"
                "For scripts and schedulers, see twinfol-sync --help.\n");
}

// Shows a kept report alone, as the History window would; a file that is no report is said so.
int ShowKeptReport(const std::string& file)
{
    twinfol::PosixFileSystem fileSystem;
    const std::optional<twinfol::SyncReport> report = twinfol::ReadKeptReport(fileSystem, file);
    if (!report) {
        std::fprintf(stderr, "twinfol: %s is no run report that can be read\n", file.c_str());
        return 2;
    }
    twinfol::ShowReport(nullptr, *report, report->source, report->target);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // --help and --version answer before anything needs a display.
    switch (twinfol::StartActionFromArguments(std::vector<std::string>(argv + 1, argv + argc))) {
    case twinfol::StartAction::PrintHelp: PrintHelp(); return 0;
    case twinfol::StartAction::PrintVersion: std::printf("twinfol %s\n", TWINFOL_VERSION); return 0;
    case twinfol::StartAction::OpenWindow:
    case twinfol::StartAction::OpenReport: break;
    }
    QApplication application(argc, argv);
    const std::string reportFile =
        twinfol::ReportFileFromArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!reportFile.empty())
        return ShowKeptReport(reportFile);
    // Every window fits its screen, also a small one at a large scale factor.
    twinfol::ScreenFit screenFit;
    application.installEventFilter(&screenFit);
    // Qt has taken the options it knows out of argc and argv ("-style Fusion", say, whose value
    // begins with no dash): the profile is looked for only among the arguments it left, as bytes.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    twinfol::PosixFileSystem fileSystem;
    twinfol::SettingsStore settings = twinfol::SettingsStore::ForCurrentUser(fileSystem);
    twinfol::DialogService dialogs(fileSystem);
    twinfol::MainDialog window(fileSystem, settings, dialogs, twinfol::UserPlaces::ForCurrentUser());
    window.SetCommandLineProfile(twinfol::ProfileFromArguments(arguments));
    window.exec();
    return 0;
}
