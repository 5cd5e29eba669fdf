// The settings that outlive a run of the program (location histories, option boxes, the profile
// folder last used), kept as named text and number values in a per-user file, with an
// administrator's machine-wide file supplying the values the user's file lacks.
//
// The file format is ours: UTF-8/8-bit text, one value per line as `Name=value` ending with LF.
// In a value, a backslash is written `\\`, a line feed `\n` and a carriage return `\r`; any other
// byte stands for itself. Numbers are decimal digits. Lines that are empty or begin with "#" are
// comments; a line without "=" or with another escape is malformed and ignored. When a name appears
// twice, the last line wins. The file carries no types: a text that is a decimal number reads as a
// number as well.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/fs/file_system.h"
#include "settings/setting_value.h"

namespace twinfol {

// The value names.
namespace settings {
inline constexpr std::string_view location1Names[] = {"Location1A", "Location1B", "Location1C", "Location1D",
                                                      "Location1E"};
inline constexpr std::string_view location2Names[] = {"Location2A", "Location2B", "Location2C", "Location2D",
                                                      "Location2E"};
inline constexpr std::string_view addMissing = "AddMissing";
inline constexpr std::string_view deleteMissing = "DelMissing";
inline constexpr std::string_view confirmDeletes = "CheckDel";
inline constexpr std::string_view checkSubFolders = "SubFolders";
inline constexpr std::string_view openPath = "OpenPath";
} // namespace settings

class SettingsStore {
public:
    // Files beyond this size are not settings files this program wrote; they read as empty.
    static constexpr std::size_t maxFileBytes = 1024 * 1024;

    // Every read and write of the two files goes through the file-system layer.
    SettingsStore(FileSystem& fileSystem, std::string userFile, std::string machineFile);
    // The store at $XDG_CONFIG_HOME/Quillmark/Twinfol.conf (~/.config/... when that is unset or not
    // an absolute path), falling back to /etc/xdg/Quillmark/Twinfol.conf.
    static SettingsStore ForCurrentUser(FileSystem& fileSystem);
    static std::string DefaultUserFile();
    static std::string DefaultMachineFile() { return "/etc/xdg/Quillmark/Twinfol.conf"; }

    // True when the value was found; the out argument is changed only then. A text is cut at its
    // first zero byte. A number must be decimal digits that fit 32 bits.
    bool ReadRegString(std::string_view name, std::string& value) const;
    bool ReadRegNumber(std::string_view name, std::uint32_t& value) const;
    // Stores the value in the user's file, creating its folder (private to the user) and the file when
    // they are missing. A user's file that exists but cannot be read, or that the user has made
    // read-only, is left as it is and the write fails. Callers may ignore the result: a setting that
    // cannot be stored is not worth a message.
    bool WriteRegString(std::string_view name, std::string_view value) const;
    bool WriteRegNumber(std::string_view name, std::uint32_t value) const;
    // Stores all the values at once, under one lock and with one replacement of the file; a text is
    // cut at its first zero byte as WriteRegString cuts it. When one name cannot be stored, none is.
    bool WriteValues(const std::vector<SettingValue>& values) const;

private:
    using Values = std::map<std::string, std::string, std::less<>>;

    std::optional<std::string> Lookup(std::string_view name) const;
    // Read, change and replace the user's file under its lock.
    bool Store(const Values& changes) const;

    std::optional<Values> Load(const std::string& path, int& error) const;
    static Values Parse(std::string_view text);
    static std::string Render(const Values& values);

    FileSystem& fileSystem_;
    std::string userFile_;
    std::string machineFile_;
};

} // namespace twinfol
