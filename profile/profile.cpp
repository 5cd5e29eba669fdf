// The profile record and its file: CR LF keyed lines written in a fixed order, read tolerantly.
#include "profile/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Reads at most limit bytes of the file; a longer file fails the reader's own bound.
ProfileLoadResult LoadBytes(const std::string& path, std::size_t limit, std::string& bytes)
{
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return {ProfileLoadStatus::CannotOpen, errno};
    ProfileLoadResult result;
    struct stat info {};
    if (fstat(descriptor, &info) != 0)
        result = {ProfileLoadStatus::CannotOpen, errno};
    else if (S_ISDIR(info.st_mode))
        result = {ProfileLoadStatus::CannotOpen, EISDIR};
    char chunk[65536];
    while (result.status == ProfileLoadStatus::Loaded && bytes.size() < limit) {
        const ssize_t count = read(descriptor, chunk, std::min(sizeof chunk, limit - bytes.size()));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            result = {ProfileLoadStatus::CannotOpen, errno};
        if (count <= 0)
            break;
        bytes.append(chunk, static_cast<std::size_t>(count));
    }
    close(descriptor);
    return result;
}

}  // namespace

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
    ProfileReader::Outcome outcome = ProfileReader::Outcome::EndOfInput;
    if (const std::istream::sentry sentry(in, true); sentry)
        outcome = ProfileReader(*in.rdbuf(), *this).Run();
    if (outcome == ProfileReader::Outcome::LimitExceeded)
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

ProfileLoadResult Profile::ReadFile(const std::string& path)
{
    std::string bytes;
    const ProfileLoadResult loaded = LoadBytes(path, maxInputBytes + 1, bytes);
    if (loaded.status != ProfileLoadStatus::Loaded)
        return loaded;
    if (!ReadText(bytes))
        return {ProfileLoadStatus::NotAProfile, 0};
    return loaded;
}

FsStatus Profile::WriteFile(const std::string& path, const AtomicFileWriter& writer)
{
    if (!CanBeWritten())
        return FsStatus::Failure(EINVAL);
    const FsStatus status = writer.Replace(path, ToText());
    if (status)
        modified = false;
    return status;
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
           left.exclusions == right.exclusions && left.autoStart == right.autoStart;
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

}  // namespace twinfol
