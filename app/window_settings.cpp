// The main window's settings: the names its values are kept under, and their defaults.
#include "app/window_settings.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace twinfol {
namespace {

// Every name the main window keeps a value under. Each option box's setting names the option it
// holds, so that reading and storing walk one list in one order; a setting not stored yet reads as the
// option of a new job.
struct OptionSetting {
    std::string_view name;
    bool SyncOptions::*member;
};

constexpr std::array optionSettings = {
    OptionSetting{"AddMissing", &SyncOptions::addMissing},
    OptionSetting{"DelMissing", &SyncOptions::deleteMissing},
    OptionSetting{"CheckDel", &SyncOptions::confirmDeletes},
    OptionSetting{"SubFolders", &SyncOptions::checkSubFolders},
    OptionSetting{"UseTrash", &SyncOptions::useTrash},
    OptionSetting{"IgnoreHourShift", &SyncOptions::ignoreHourShift},
    OptionSetting{"ReplaceReadOnly", &SyncOptions::replaceReadOnly},
};
constexpr std::array<std::string_view, LocationHistories::size> location1Names = {
    "Location1A", "Location1B", "Location1C", "Location1D", "Location1E"};
constexpr std::array<std::string_view, LocationHistories::size> location2Names = {
    "Location2A", "Location2B", "Location2C", "Location2D", "Location2E"};
constexpr std::string_view openPathName = "OpenPath";
constexpr std::string_view trashDaysName = "TrashDays";
constexpr std::uint32_t mostTrashDays = 36500;

} // namespace

std::string WindowSettings::ReadText(std::string_view name) const
{
    std::string value;
    if (!store.ReadRegString(name, value))
        value.clear();
    return value;
}

LocationHistories WindowSettings::ReadHistories() const
{
    std::vector<std::string> location1;
    std::vector<std::string> location2;
    for (std::size_t place = 0; place < LocationHistories::size; ++place) {
        location1.push_back(ReadText(location1Names[place]));
        location2.push_back(ReadText(location2Names[place]));
    }
    return LocationHistories(std::move(location1), std::move(location2));
}

void WindowSettings::ReadOptions(SyncOptions& options) const
{
    constexpr SyncOptions newJob;
    for (const OptionSetting& option : optionSettings) {
        std::uint32_t value = 0;
        options.*option.member = store.ReadRegNumber(option.name, value) ? value != 0 : newJob.*option.member;
    }
}

int WindowSettings::ReadTrashKeepDays() const
{
    std::uint32_t days = 0;
    if (!store.ReadRegNumber(trashDaysName, days) || days > mostTrashDays)
        return defaultTrashKeepDays;
    return static_cast<int>(days);
}

std::string WindowSettings::ReadOpenPath() const
{
    return ReadText(openPathName);
}

void WindowSettings::WriteOpenPath(const std::string& path) const
{
    store.WriteRegString(openPathName, path);
}

std::vector<SettingValue> WindowSettings::ExitValues(const SyncOptions& options,
                                                     const LocationHistories& histories)
{
    std::vector<SettingValue> values;
    for (const OptionSetting& option : optionSettings)
        values.push_back({std::string(option.name), static_cast<std::uint32_t>(options.*option.member)});
    for (std::size_t place = 0; place < LocationHistories::size; ++place) {
        values.push_back(
            {std::string(location1Names[place]), histories.Entry(LocationSide::Location1, place)});
        values.push_back(
            {std::string(location2Names[place]), histories.Entry(LocationSide::Location2, place)});
    }
    return values;
}

void WindowSettings::SaveOnExit(const SyncOptions& options, const LocationHistories& histories) const
{
    store.WriteValues(ExitValues(options, histories));
}

} // namespace twinfol
