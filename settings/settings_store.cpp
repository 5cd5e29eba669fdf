// The settings file: read without creating anything, rewritten whole under a lock for each change.
#include "settings/settings_store.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/path.h"

namespace twinfol {
namespace {

constexpr std::string_view header = "# Twinfol settings: one Name=value a line; \\\\, \\n and \\r escape a "
                                    "backslash, a line feed and a carriage return.\n";

std::string_view CutAtZero(std::string_view text)
{
    return text.substr(0, text.find('\0'));
}

bool IsUsableName(std::string_view name)
{
    return !name.empty() && name.find_first_of(std::string_view("=\n\r\0#", 5)) == std::string_view::npos;
}

std::optional<std::string> Unescape(std::string_view escaped)
{
    std::string value;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\') {
            value += escaped[i];
            continue;
        }
        if (++i == escaped.size())
            return std::nullopt;
        switch (escaped[i]) {
        case '\\': value += '\\'; break;
        case 'n': value += '\n'; break;
        case 'r': value += '\r'; break;
        default: return std::nullopt;
        }
    }
    return value;
}

void AppendEscaped(std::string& out, std::string_view value)
{
    for (char c : value) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
}

// Configuration folders are private to their user.
constexpr mode_t settingsFolderMode = 0700;
constexpr mode_t settingsFileMode = 0600;

std::string TextOf(const SettingValue& setting)
{
    if (const auto* number = std::get_if<std::uint32_t>(&setting.value))
        return std::to_string(*number);
    return std::string(CutAtZero(std::get<std::string>(setting.value)));
}

} // namespace

SettingsStore::SettingsStore(FileSystem& fileSystem, std::string userFile, std::string machineFile)
    : fileSystem_(fileSystem), userFile_(std::move(userFile)), machineFile_(std::move(machineFile))
{
}

SettingsStore SettingsStore::ForCurrentUser(FileSystem& fileSystem)
{
    return SettingsStore(fileSystem, DefaultUserFile(), DefaultMachineFile());
}

std::string SettingsStore::DefaultUserFile()
{
    // Relative values of the variable are to be ignored, as the base directory rules say.
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (configHome != nullptr && configHome[0] == '/') {
        folder = configHome;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            const passwd* user = getpwuid(getuid());
            home = user != nullptr ? user->pw_dir : "";
        }
        folder = std::string(home) + "/.config";
    }
    if (!folder.ends_with('/'))
        folder += '/';
    return folder + "Quillmark/Twinfol.conf";
}

bool SettingsStore::ReadRegString(std::string_view name, std::string& value) const
{
    const auto found = Lookup(name);
    if (!found)
        return false;
    value = CutAtZero(*found);
    return true;
}

bool SettingsStore::ReadRegNumber(std::string_view name, std::uint32_t& value) const
{
    const auto found = Lookup(name);
    if (!found || found->empty() || found->size() > 10)
        return false;
    std::uint64_t number = 0;
    for (char c : *found) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (number > UINT32_MAX)
        return false;
    value = static_cast<std::uint32_t>(number);
    return true;
}

bool SettingsStore::WriteRegString(std::string_view name, std::string_view value) const
{
    return IsUsableName(name) && Store(Values{{std::string(name), std::string(CutAtZero(value))}});
}

bool SettingsStore::WriteRegNumber(std::string_view name, std::uint32_t value) const
{
    return IsUsableName(name) && Store(Values{{std::string(name), std::to_string(value)}});
}

bool SettingsStore::WriteValues(const std::vector<SettingValue>& values) const
{
    Values changes;
    for (const SettingValue& setting : values) {
        if (!IsUsableName(setting.name))
            return false;
        changes.insert_or_assign(setting.name, TextOf(setting));
    }
    return Store(changes);
}

// The user's value when the user's file has it, the machine-wide one otherwise.
std::optional<std::string> SettingsStore::Lookup(std::string_view name) const
{
    if (!IsUsableName(name))
        return std::nullopt;
    for (const std::string* path : {&userFile_, &machineFile_}) {
        int error = 0;
        const auto values = Load(*path, error);
        if (!values)
            continue;
        if (const auto found = values->find(name); found != values->end())
            return found->second;
    }
    return std::nullopt;
}

// Read, change and replace the user's file under an exclusive lock on a file beside it, so that two
// copies of the program writing at once each see the other's change. Readers need no lock: the
// replacement gives them the old file or the new one, whole.
bool SettingsStore::Store(const Values& changes) const
{
    if (!fileSystem_.MakeFolders(FolderOf(userFile_), settingsFolderMode))
        return false;
    std::unique_ptr<FileLock> lock;
    FsStatus locked = fileSystem_.LockFile(userFile_ + ".lock", lock);
    // In a folder the user may not write, no lock file can be made; the settings file is then
    // rewritten in place, keeping its inode, so it can carry the lock itself.
    if (!locked && (locked.Error() == EACCES || locked.Error() == EPERM))
        locked = fileSystem_.LockFile(userFile_, lock);
    if (!locked)
        return false;
    int error = 0;
    auto values = Load(userFile_, error);
    // A file that exists but cannot be read is left alone rather than replaced by the changes alone.
    if (!values && error != ENOENT)
        return false;
    if (!values)
        values.emplace();
    for (const auto& [name, value] : changes)
        values->insert_or_assign(name, value);
    return static_cast<bool>(fileSystem_.ReplaceFile(userFile_, Render(*values), settingsFileMode));
}

// The values of a file; nothing when it cannot be read (error tells why). An oversized file reads as
// no values at all.
std::optional<SettingsStore::Values> SettingsStore::Load(const std::string& path, int& error) const
{
    std::string text;
    if (const FsStatus read = fileSystem_.ReadFile(path, maxFileBytes + 1, text); !read) {
        error = read.Error();
        return std::nullopt;
    }
    if (text.size() > maxFileBytes)
        return Values();
    return Parse(text);
}

SettingsStore::Values SettingsStore::Parse(std::string_view text)
{
    Values values;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        const auto equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string_view::npos || equals == 0)
            continue;
        if (auto value = Unescape(line.substr(equals + 1)))
            values.insert_or_assign(std::string(line.substr(0, equals)), std::move(*value));
    }
    return values;
}

std::string SettingsStore::Render(const Values& values)
{
    std::string text(header);
    for (const auto& [name, value] : values) {
        text += name;
        text += '=';
        AppendEscaped(text, value);
        text += '\n';
    }
    return text;
}

} // namespace twinfol
