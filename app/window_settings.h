// What the main window keeps in the settings store between runs of the program: the two location
// histories, the option boxes, the Trash's keeping days and the profile file last chosen, under
// one table of value names.
#pragma once

#include <string>
#include <vector>

#include "app/location_histories.h"
#include "engine/records/sync_options.h"
#include "settings/setting_value.h"
#include "settings/settings_store.h"

namespace twinfol {

class WindowSettings {
public:
    explicit WindowSettings(SettingsStore& store) : store(store) {}

    // Both histories at full length; a value that cannot be read is an empty entry.
    LocationHistories ReadHistories() const;
    // The option boxes' options; a value that cannot be read gives the box of a new job.
    void ReadOptions(SyncOptions& options) const;
    // How many days items a run put in the Trash stay there; the default where the value is missing
    // or beyond a hundred years. No control sets it: the value is set in the settings file.
    int ReadTrashKeepDays() const;
    // The profile file the profile dialogs start at; empty when none was chosen yet.
    std::string ReadOpenPath() const;
    void WriteOpenPath(const std::string& path) const;

    // What "Exit" stores, in this order: the option boxes' options, then both histories from the
    // front, the two lists' entries of each place together. Blank entries are stored as empty texts.
    static std::vector<SettingValue> ExitValues(const SyncOptions& options,
                                                const LocationHistories& histories);
    // Stores the values of ExitValues. A value that cannot be stored is not worth a message.
    void SaveOnExit(const SyncOptions& options, const LocationHistories& histories) const;

private:
    std::string ReadText(std::string_view name) const;

    SettingsStore& store;
};

} // namespace twinfol
