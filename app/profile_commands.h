// The job being set up as a profile file holds it: opening and saving the window's current profile,
// the edits that mark it modified, and the messages that tell the person what could not be done.
#pragma once

#include <optional>
#include <string>

#include <QString>

#include "app/ignore_settings.h"
#include "app/location_histories.h"
#include "app/main_dialog_fields.h"
#include "engine/fs/file_system.h"
#include "profile/profile.h"

class QWidget;

namespace twinfol {

class DialogService;
class WindowSettings;

// What opening a profile file came to: whether its settings (or, for a file that is no profile, the
// defaults) were taken into the fields, and the message the person must see, empty when there is
// none. The window shows the message when it suits it: at start-up, only once it is on screen.
struct ProfileOpening {
    bool taken = false;
    QString message;
};

class ProfileCommands {
public:
    // Messages and file dialogs open over the given window.
    ProfileCommands(FileSystem& fileSystem, WindowSettings& settings, DialogService& dialogs,
                    QWidget* window);

    const Profile& Current() const { return currentProfile; }

    // Asks for a profile file to open, starting at the one chosen last; remembers the choice.
    std::optional<std::string> ChooseFileToOpen();
    // Reads the file into the current profile and puts its options, locations and automatic start
    // into the fields. A file that is no valid profile leaves the defaults and no profile path. Not
    // taken, with nothing changed, when the file cannot be opened.
    ProfileOpening Open(const std::string& path, MainDialogFields& fields);
    // Saves to the profile's own file; false, after saying so, when it could not be written or the
    // file format cannot hold the profile as it stands.
    bool Save(const std::string& path);
    // Asks for a file, remembers the choice and saves there; on success the fields name the new file.
    // Until the profile has a file, what is saved is what the window shows.
    bool SaveAs(MainDialogFields& fields);

    void SetOption(JobFlag option, const MainDialogFields& fields);
    void SetAutoStart(const MainDialogFields& fields);
    void SetLocation(LocationSide side, const std::string& path);
    // The list as the exclusions dialog left it, kept sorted.
    void SetExclusions(ExclusionList exclusions);
    // The patterns, size limits and delete box as the exclusions dialog left them, also into the
    // fields, whose options the window's runs take.
    void SetIgnoring(const IgnoreSettings& ignoring, MainDialogFields& fields);

private:
    void CopyShownState(const MainDialogFields& fields);

    FileSystem& fileSystem;
    WindowSettings& settings;
    DialogService& dialogs;
    QWidget* window;
    Profile currentProfile;
};

} // namespace twinfol
