// Opening, saving and editing the main window's current profile.
#include "app/profile_commands.h"

#include <QCoreApplication>
#include <QString>

#include "app/dialog_service.h"
#include "app/window_settings.h"
#include "base/display_text.h"

namespace twinfol {
namespace {

QString Text(const char* text)
{
    return QCoreApplication::translate("MainDialog", text);
}

// A path as a message shows it: a name that is not UTF-8 keeps every byte visible as \xNN.
QString Shown(const std::string& path)
{
    return QString::fromStdString(ForDisplay(path));
}

QString CouldNotOpen(const std::string& path)
{
    return Text("Could not open file: ") + Shown(path);
}

QString NotAProfile(const std::string& path, const ProfileLoadResult& loaded)
{
    if (!loaded.pastReaderLimits)
        return Shown(path) + Text(" is not a valid Twinfol profile");
    // One pass over all four markers, so that a "%" in the path is taken as it stands.
    return Text("%1 is too large to be a Twinfol profile: a profile file holds at most %2 MB, lines of at "
                "most %3 KB and %4 exclusions")
        .arg(Shown(path), QString::number(Profile::maxInputBytes / (1024 * 1024)),
             QString::number(Profile::maxLineBytes / 1024), QString::number(Profile::maxExclusions));
}

// The file itself may be writable: it is the profile that a profile file cannot hold.
QString CannotHold(const std::string& path)
{
    return Text("The profile was not saved to ") + Shown(path) +
           Text(": a location or an exclusion holds a line break or another text that a profile file "
                "cannot keep");
}

} // namespace

ProfileCommands::ProfileCommands(FileSystem& fileSystem, WindowSettings& settings, DialogService& dialogs,
                                 QWidget* window)
    : fileSystem(fileSystem), settings(settings), dialogs(dialogs), window(window)
{
}

std::optional<std::string> ProfileCommands::ChooseFileToOpen()
{
    const std::optional<std::string> chosen = dialogs.OpenProfileName(window, settings.ReadOpenPath());
    if (chosen)
        settings.WriteOpenPath(*chosen);
    return chosen;
}

ProfileOpening ProfileCommands::Open(const std::string& path, MainDialogFields& fields)
{
    // The file-system layer refuses anything but a regular file, so a FIFO or a device named as the
    // profile is never waited on.
    const ProfileLoadResult loaded = currentProfile.ReadFile(fileSystem, path);
    if (loaded.status == ProfileLoadStatus::CannotOpen)
        return {false, CouldNotOpen(path)};
    ProfileOpening opening{true, QString()};
    if (loaded.status == ProfileLoadStatus::Loaded) {
        fields.profilePath = path;
    } else {
        opening.message = NotAProfile(path, loaded);
        fields.profilePath.clear();
    }
    // The automatic start goes through the window's own rule, which leaves the box as it is for a value
    // the format does not know.
    const AutoStart shown = fields.options.autoStart;
    fields.options = currentProfile.options;
    fields.options.autoStart = shown;
    fields.ShowProfileAutoStart(currentProfile.options.autoStart);
    fields.location1 = currentProfile.location1;
    fields.location2 = currentProfile.location2;
    return opening;
}

bool ProfileCommands::Save(const std::string& path)
{
    if (!currentProfile.CanBeWritten()) {
        dialogs.ShowMessage(window, CannotHold(path));
        return false;
    }
    if (currentProfile.WriteFile(fileSystem, path))
        return true;
    dialogs.ShowMessage(window, CouldNotOpen(path));
    return false;
}

bool ProfileCommands::SaveAs(MainDialogFields& fields)
{
    const std::optional<std::string> chosen = dialogs.SaveProfileName(window, settings.ReadOpenPath());
    if (!chosen)
        return false;
    settings.WriteOpenPath(*chosen);
    if (fields.profilePath.empty())
        CopyShownState(fields);
    if (!Save(*chosen))
        return false;
    fields.profilePath = *chosen;
    return true;
}

// Until a profile has a file of its own, the window may show options and locations restored from
// the settings store that the profile never saw.
void ProfileCommands::CopyShownState(const MainDialogFields& fields)
{
    currentProfile.location1 = fields.location1;
    currentProfile.location2 = fields.location2;
    currentProfile.options = fields.options;
}

void ProfileCommands::SetOption(JobFlag option, const MainDialogFields& fields)
{
    currentProfile.options.*option = fields.options.*option;
    currentProfile.modified = true;
}

void ProfileCommands::SetAutoStart(const MainDialogFields& fields)
{
    currentProfile.options.autoStart = fields.options.autoStart;
    currentProfile.modified = true;
}

void ProfileCommands::SetLocation(LocationSide side, const std::string& path)
{
    if (side == LocationSide::Location1)
        currentProfile.SetLocation1(path);
    else
        currentProfile.SetLocation2(path);
}

void ProfileCommands::SetExclusions(ExclusionList exclusions)
{
    currentProfile.exclusions = std::move(exclusions);
    currentProfile.exclusions.Sort();
    currentProfile.modified = true;
}

void ProfileCommands::SetIgnoring(const IgnoreSettings& ignoring, MainDialogFields& fields)
{
    PutIgnoreSettings(ignoring, currentProfile.options);
    PutIgnoreSettings(ignoring, fields.options);
    currentProfile.modified = true;
}

} // namespace twinfol
