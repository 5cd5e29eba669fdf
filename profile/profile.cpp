// The profile record and its file: CR LF keyed lines written in a fixed order, read tolerantly.
#include "profile/profile.h"

#include <cerrno>
#include <streambuf>

#include "base/path.h"
#include "profile/escaped_value.h"
#include "profile/profile_keys.h"
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

void AppendFlags(std::string& text, const SyncOptions& options, KeyPlace place)
{
    for (const ProfileFlag& flag : profileFlags)
        if (flag.place == place)
            AppendLine(text, flag.key, Digit(options.*flag.member));
}

// The ignore rules after the flags: each pattern in the order it applies, then the size limits that
// are set, all of them escaped.
void AppendIgnoreRules(std::string& text, const SyncOptions& options)
{
    for (const IgnorePattern& pattern : options.ignorePatterns)
        AppendLine(text, ignorePatternKey, EscapeValue(pattern.text));
    if (options.maxFileSize)
        AppendLine(text, maxFileSizeKey, EscapeValue(std::to_string(*options.maxFileSize)));
    if (options.minFileSize)
        AppendLine(text, minFileSizeKey, EscapeValue(std::to_string(*options.minFileSize)));
}

bool HoldsLineBreak(std::string_view text)
{
    return text.find('\n') != std::string_view::npos;
}

bool IsNegative(const std::optional<std::int64_t>& size)
{
    return size && *size < 0;
}

} // namespace

std::string Profile::ToText() const
{
    std::string text;
    AppendLine(text, "twin_fol_version", formatVersion);
    AppendLine(text, "location1", location1);
    AppendLine(text, "location2", location2);
    AppendFlags(text, options, KeyPlace::BeforeExclusions);
    AppendLine(text, "auto_start", std::to_string(static_cast<int>(options.autoStart)));
    AppendLine(text, "exclusions", "");
    for (const std::string& entry : exclusions.Entries()) {
        text += entry;
        text += lineEnd;
    }
    text += "end_exclusions";
    text += lineEnd;
    AppendFlags(text, options, KeyPlace::AfterExclusions);
    AppendIgnoreRules(text, options);
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
    for (const ProfileFlag& flag : profileFlags)
        options.*flag.member = flag.whenMissing;
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
    // A pattern's reasons name the file it came from; the path says where, the name is enough to see it.
    for (IgnorePattern& pattern : options.ignorePatterns)
        pattern.origin = BaseNameOf(path);
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

SyncOptions Profile::OptionsForRun(SyncOptions run) const
{
    for (const ProfileFlag& flag : profileFlags)
        run.*flag.member = options.*flag.member;
    run.autoStart = options.autoStart;
    run.ignorePatterns = options.ignorePatterns;
    run.maxFileSize = options.maxFileSize;
    run.minFileSize = options.minFileSize;
    return run;
}

// Values are written raw, so a line break inside one, or an entry that reads as the end of the
// block, would come back as something else. The reader skips white space before the first entry, so
// the first entry that is not blank must not begin with white space either (it could lose it, or
// even close the block early). Blank entries ahead of it are lost on reading, which is harmless: no
// path is blank.
bool Profile::CanBeWritten() const
{
    if (HoldsLineBreak(location1) || HoldsLineBreak(location2))
        return false;
    for (const IgnorePattern& pattern : options.ignorePatterns)
        if (HoldsLineBreak(pattern.text))
            return false;
    if (IsNegative(options.maxFileSize) || IsNegative(options.minFileSize))
        return false;
    bool beforeFirstEntry = true;
    for (const std::string& entry : exclusions.Entries()) {
        if (HoldsLineBreak(entry) || entry == "end_exclusions")
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
           left.location1 == right.location1 && left.location2 == right.location2 &&
           left.exclusions == right.exclusions && left.options == right.options;
}

void Profile::Reset()
{
    modified = false;
    location1.clear();
    location2.clear();
    exclusions.Clear();
    options = SyncOptions();
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
