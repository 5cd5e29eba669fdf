// Start-up of the desktop program: one main window, opened with the profile named on the command line.
#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/dialog_service.h"
#include "app/main_dialog.h"
#include "app/screen_fit.h"
#include "engine/posix/posix_file_system.h"
#include "settings/settings_store.h"

namespace {

void PrintHelp()
{
    std::printf("Usage: twinfol [PROFILE.twp]\n"
                "Keeps two folders in step. With a profile, opens it; a profile whose auto start is set\n"
                "starts its synchronisation one second after the window opens.\n"
                "Arguments that begin with \"-\" are switches without effect, apart from these:\n"
                "  --help     show this text and exit\n"
                "  --version  show the version and exit\n"
                "For scripts and schedulers, see twinfol-sync --help.\n");
}

} // namespace

int main(int argc, char* argv[])
{
    // --help and --version answer before anything needs a display.
    switch (twinfol::StartActionFromArguments(std::vector<std::string>(argv + 1, argv + argc))) {
    case twinfol::StartAction::PrintHelp: PrintHelp(); return 0;
    case twinfol::StartAction::PrintVersion: std::printf("twinfol %s\n", TWINFOL_VERSION); return 0;
    case twinfol::StartAction::OpenWindow: break;
    }
    QApplication application(argc, argv);
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
