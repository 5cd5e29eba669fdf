// Where the user's home trash and the run journals live, and who the user is: the only places outside
// the two synchronised folders that a run writes to, and only because the person asked for them.
#pragma once

#include <cstdint>
#include <string>

namespace twinfol {

struct UserPlaces {
    // The home trash, ending with the separator: $XDG_DATA_HOME/Trash/.
    std::string homeTrash;
    // The folder of the run journals, ending with the separator: $XDG_STATE_HOME/twinfol/.
    std::string journalFolder;
    // The user the trash folders on other volumes are named after.
    std::uint32_t uid = 0;

    // From this process's environment: XDG_DATA_HOME and XDG_STATE_HOME where they hold absolute paths,
    // else ~/.local/share and ~/.local/state; the effective user id.
    static UserPlaces ForCurrentUser();
};

} // namespace twinfol
