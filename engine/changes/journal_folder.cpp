// Journal file names and the listing of the journal folder.
#include "engine/changes/journal_folder.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace twinfol {
namespace {

constexpr std::string_view journalSuffix = ".journal";
constexpr std::size_t keyDigits = 16;
// key, "-", YYYYMMDDTHHMMSS, ".", nine digits, ".journal"
constexpr std::size_t nameLength = keyDigits + 1 + 15 + 1 + 9 + journalSuffix.size();

bool AllOf(std::string_view text, const char* allowed)
{
    return !text.empty() && text.find_first_not_of(allowed) == std::string_view::npos;
}

std::optional<std::int64_t> StartedFromName(std::string_view stamp)
{
    if (!AllOf(stamp.substr(0, 8), "0123456789") || stamp[8] != 'T' ||
        !AllOf(stamp.substr(9, 6), "0123456789"))
        return std::nullopt;
    std::tm fields{};
    const auto number = [&](std::size_t at, std::size_t length) {
        int value = 0;
        for (const char c : stamp.substr(at, length))
            value = value * 10 + (c - '0');
        return value;
    };
    fields.tm_year = number(0, 4) - 1900;
    fields.tm_mon = number(4, 2) - 1;
    fields.tm_mday = number(6, 2);
    fields.tm_hour = number(9, 2);
    fields.tm_min = number(11, 2);
    fields.tm_sec = number(13, 2);
    return static_cast<std::int64_t>(timegm(&fields));
}

std::optional<JournalFile> FromName(const std::string& folder, std::string_view name,
                                    std::string_view suffix = journalSuffix)
{
    if (name.size() != nameLength - journalSuffix.size() + suffix.size() || !name.ends_with(suffix) ||
        name[keyDigits] != '-' || name[keyDigits + 16] != '.' ||
        !AllOf(name.substr(0, keyDigits), "0123456789abcdef") ||
        !AllOf(name.substr(keyDigits + 17, 9), "0123456789"))
        return std::nullopt;
    const std::optional<std::int64_t> started = StartedFromName(name.substr(keyDigits + 1, 15));
    if (!started)
        return std::nullopt;
    return JournalFile{folder + std::string(name), std::string(name), std::string(name.substr(0, keyDigits)),
                       *started};
}

} // namespace

std::string JournalKey(std::string_view resolvedTarget)
{
    // FNV-1a: a stable spread of the path over 64 bits; the journal's own header names the target in
    // full, so a shared key is told apart there.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : resolvedTarget) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char text[keyDigits + 1];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string JournalFileName(std::string_view key, std::chrono::system_clock::time_point started)
{
    const auto sinceEpoch = started.time_since_epoch();
    const std::time_t seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch).count();
    const auto nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch - std::chrono::seconds(seconds))
            .count();
    std::tm fields{};
    gmtime_r(&seconds, &fields);
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "-%04d%02d%02dT%02d%02d%02d.%09lld", fields.tm_year + 1900,
                  fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec,
                  static_cast<long long>(nanoseconds));
    return std::string(key) + stamp + std::string(journalSuffix);
}

std::vector<JournalFile> ListJournals(FileSystem& fileSystem, const std::string& folder)
{
    return ListRunFiles(fileSystem, folder, journalSuffix);
}

std::string RunFileName(std::string_view key, std::chrono::system_clock::time_point started,
                        std::string_view suffix)
{
    std::string name = JournalFileName(key, started);
    return name.replace(name.size() - journalSuffix.size(), journalSuffix.size(), suffix);
}

std::vector<JournalFile> ListRunFiles(FileSystem& fileSystem, const std::string& folder,
                                      std::string_view suffix)
{
    std::vector<JournalFile> files;
    (void)fileSystem.ListFolder(folder, [&](std::string_view name, EntryKind kind) {
        if (kind == EntryKind::File)
            if (std::optional<JournalFile> file = FromName(folder, name, suffix))
                files.push_back(std::move(*file));
        return true;
    });
    std::sort(files.begin(), files.end(),
              [](const JournalFile& a, const JournalFile& b) { return a.name < b.name; });
    return files;
}

std::optional<JournalFile> NewestJournal(const std::vector<JournalFile>& journals, std::string_view key)
{
    for (auto file = journals.rbegin(); file != journals.rend(); ++file)
        if (file->key == key)
            return *file;
    return std::nullopt;
}

} // namespace twinfol
