// The settings file: read without creating anything, rewritten whole under a lock for each change.
#include "profile/settings_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "profile/atomic_file_writer.h"

namespace twinfol {
namespace {

constexpr std::string_view header = "# Twinfol settings: one Name=value a line; \\\\, \\n and \\r escape a "
                                    "backslash, a line feed and a carriage return.\n";

// Closes a descriptor (and so drops a lock held on it) when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor()
    {
        if (descriptor_ >= 0)
            close(descriptor_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return descriptor_; }

private:
    int descriptor_;
};

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

// Creates every missing folder of the path, private to the user as configuration folders should be.
bool MakeFolders(const std::string& folder)
{
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat info {};
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

}  // namespace

SettingsStore::SettingsStore(std::string userFile, std::string machineFile)
    : userFile_(std::move(userFile)), machineFile_(std::move(machineFile))
{
}

SettingsStore SettingsStore::ForCurrentUser()
{
    return SettingsStore(DefaultUserFile(), DefaultMachineFile());
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
    return Store(name, CutAtZero(value));
}

bool SettingsStore::WriteRegNumber(std::string_view name, std::uint32_t value) const
{
    return Store(name, std::to_string(value));
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
// rename gives them the old file or the new one, whole.
bool SettingsStore::Store(std::string_view name, std::string_view value) const
{
    if (!IsUsableName(name) || !MakeFolders(FolderOf(userFile_)))
        return false;
    const Descriptor lock(open((userFile_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.Get() < 0)
        return false;
    while (flock(lock.Get(), LOCK_EX) != 0)
        if (errno != EINTR)
            return false;
    int error = 0;
    auto values = Load(userFile_, error);
    // A file that exists but cannot be read is left alone rather than replaced by one value.
    if (!values && error != ENOENT)
        return false;
    if (!values)
        values.emplace();
    (*values)[std::string(name)] = value;
    return static_cast<bool>(AtomicFileWriter().Replace(userFile_, Render(*values), 0600));
}

// The values of a file; nothing when it cannot be opened or read (error tells why). An oversized
// file reads as no values at all.
std::optional<SettingsStore::Values> SettingsStore::Load(const std::string& path, int& error)
{
    const Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) {
        error = errno;
        return std::nullopt;
    }
    std::string text;
    char chunk[16384];
    for (;;) {
        const ssize_t count = read(file.Get(), chunk, sizeof chunk);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            error = errno;
            return std::nullopt;
        }
        if (count == 0)
            break;
        text.append(chunk, static_cast<std::size_t>(count));
        if (text.size() > maxFileBytes)
            return Values();
    }
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

}  // namespace twinfol
