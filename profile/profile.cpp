// The profile record and its file: CR LF keyed lines written in a fixed order, read tolerantly.
#include "profile/profile.h"

#include <cerrno>
#include <streambuf>

#include "profile/profile_reader.h"

namespace twinfol {
namespace {

constexpr std::string_view lineEnd = "\r\n";
constexpr std::string_view formatVersion = "1.01";

// Lets the stream-based reader run over bytes already in memory, without copying them.
class MemoryBuffer : public std::streambuf {
public:
    explicit MemoryBuffer(std::string_view bytes)
    {
        char* begin = const_cast<char*>(bytes.data());
        setg(begin, begin, begin + bytes.size());
    }
};

void AppendLine(std::string& text, std::string_view key, std::string_view value)
{
    text += key;
    text += '=';
    text += value;
    text += lineEnd;
}

const char* Digit(bool flag)
{
    return flag ? "1" : "0";
}

bool IsBlank(std::string_view text)
{
    return text.find_first_not_of(" \t\n\v\f\r") == std::string_view::npos;
}

AutoStart AutoStartOf(std::int32_t value)
{
    switch (value) {
    case static_cast<std::int32_t>(AutoStart::Location1ToLocation2): return AutoStart::Location1ToLocation2;
    case static_cast<std::int32_t>(AutoStart::Location2ToLocation1): return AutoStart::Location2ToLocation1;
    default: return AutoStart::Off;
    }
}

} // namespace

std::string Profile::ToText() const
{
    std::string text;
    AppendLine(text, "twin_fol_version", formatVersion);
    AppendLine(text, "location1", location1);
    AppendLine(text, "location2", location2);
    AppendLine(text, "delete_files", Digit(deleteFiles));
    AppendLine(text, "confirm_deletes", Digit(confirmDeletes));
    AppendLine(text, "add_files", Digit(addFiles));
    AppendLine(text, "check_sub_folders", Digit(checkSubFolders));
    AppendLine(text, "auto_start", std::to_string(autoStart));
    AppendLine(text, "exclusions", "");
    for (const std::string& entry : exclusions.Entries()) {
        text += entry;
        text += lineEnd;
    }
    text += "end_exclusions";
    text += lineEnd;
    // After the exclusion block: a reader that knows no more keys than the first nine takes whatever
    // follows an unknown key as further keys, so this line anywhere earlier would swallow the block.
    AppendLine(text, "use_trash", Digit(useTrash));
    AppendLine(text, "ignore_hour_shift", Digit(ignoreHourShift));
    return text;
}

std::ostream& Profile::Write(std::ostream& out)
{
    if (!CanBeWritten()) {
        out.setstate(std::ios::failbit);
        return out;
    }
    const std::string text = ToText();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (out)
        modified = false;
    return out;
}

std::istream& Profile::Read(std::istream& in)
{
    Reset();
    valid = false;
    useTrash = false;
    ProfileReader::Outcome outcome = ProfileReader::Outcome::EndOfInput;
    if (const std::istream::sentry sentry(in, true); sentry)
        outcome = ProfileReader(*in.rdbuf(), *this).Run();
    readPastLimits_ = outcome == ProfileReader::Outcome::LimitExceeded;
    if (readPastLimits_)
        valid = false;
    if (valid)
        exclusions.Sort();
    else
        Reset();
    in.setstate(outcome == ProfileReader::Outcome::EndOfInput ? std::ios::eofbit : std::ios::failbit);
    return in;
}

bool Profile::ReadText(std::string_view text)
{
    MemoryBuffer buffer(text);
    std::istream in(&buffer);
    Read(in);
    return valid;
}

ProfileLoadResult Profile::ReadFile(FileSystem& fileSystem, const std::string& path)
{
    // One byte beyond the reader's bound, so that a longer file fails the reader's own check.
    std::string bytes;
    if (const FsStatus read = fileSystem.ReadFile(path, maxInputBytes + 1, bytes); !read)
        return {ProfileLoadStatus::CannotOpen, read.Error()};
    if (!ReadText(bytes))
        return {ProfileLoadStatus::NotAProfile, 0, readPastLimits_};
    return {ProfileLoadStatus::Loaded, 0, false};
}

FsStatus Profile::WriteFile(FileSystem& fileSystem, const std::string& path)
{
    if (!CanBeWritten())
        return FsStatus::Refusal(EINVAL, "a value holds a line break or an entry the format cannot keep");
    const FsStatus status = fileSystem.ReplaceFile(path, ToText(), 0666);
    if (status)
        modified = false;
    return status;
}

SyncOptions Profile::Options() const
{
    SyncOptions options;
    options.addMissing = addFiles;
    options.deleteMissing = deleteFiles;
    options.confirmDeletes = confirmDeletes;
    options.checkSubFolders = checkSubFolders;
    options.useTrash = useTrash;
    options.ignoreHourShift = ignoreHourShift;
    options.autoStart = AutoStartOf(autoStart);
    return options;
}

void Profile::SetOptions(const SyncOptions& options)
{
    addFiles = options.addMissing;
    deleteFiles = options.deleteMissing;
    confirmDeletes = options.confirmDeletes;
    checkSubFolders = options.checkSubFolders;
    useTrash = options.useTrash;
    ignoreHourShift = options.ignoreHourShift;
    if (options.autoStart != AutoStartOf(autoStart))
        autoStart = static_cast<std::int32_t>(options.autoStart);
}

// Values are written raw, so a line break inside one, or an entry that reads as the end of the
// block, would come back as something else. The reader skips white space before the first entry, so
// the first entry that is not blank must not begin with white space either (it could lose it, or
// even close the block early). Blank entries ahead of it are lost on reading, which is harmless: no
// path is blank.
bool Profile::CanBeWritten() const
{
    if (location1.find('\n') != std::string::npos || location2.find('\n') != std::string::npos)
        return false;
    bool beforeFirstEntry = true;
    for (const std::string& entry : exclusions.Entries()) {
        if (entry.find('\n') != std::string::npos || entry == "end_exclusions")
            return false;
        if (beforeFirstEntry && !IsBlank(entry)) {
            if (IsBlank(entry.substr(0, 1)))
                return false;
            beforeFirstEntry = false;
        }
    }
    return true;
}

bool operator==(const Profile& left, const Profile& right)
{
    return left.modified == right.modified && left.valid == right.valid &&
           left.deleteFiles == right.deleteFiles && left.confirmDeletes == right.confirmDeletes &&
           left.addFiles == right.addFiles && left.checkSubFolders == right.checkSubFolders &&
           left.location1 == right.location1 && left.location2 == right.location2 &&
           left.exclusions == right.exclusions && left.autoStart == right.autoStart &&
           left.useTrash == right.useTrash && left.ignoreHourShift == right.ignoreHourShift;
}

void Profile::Reset()
{
    modified = false;
    deleteFiles = true;
    confirmDeletes = true;
    addFiles = true;
    checkSubFolders = true;
    location1.clear();
    location2.clear();
    exclusions.Clear();
    autoStart = 0;
    useTrash = true;
    ignoreHourShift = false;
}

void Profile::SetLocation1(std::string path)
{
    location1 = std::move(path);
    modified = true;
}

void Profile::SetLocation2(std::string path)
{
    location2 = std::move(path);
    modified = true;
}

} // namespace twinfol
