// Counting what each ignore pattern matches, level by level over the folders side by side.
#include "engine/walk/pattern_matches.h"

#include <charconv>
#include <map>
#include <optional>
#include <string_view>

namespace twinfol {
namespace {

// A folder still to be listed: its path below the roots (empty for the roots themselves, else ending
// with the separator) and, for each of the folders counted, whether that side holds it as a folder.
struct PendingFolder {
    std::string relative;
    std::vector<bool> heldBy;
};

// What one name of a level is on each side; Missing where a side lacks it.
using Sides = std::vector<EntryKind>;

class PatternCounter {
public:
    PatternCounter(FileSystem& fileSystem, const std::vector<std::string>& folders,
                   const std::vector<IgnorePattern>& patterns, std::uint64_t entryLimit,
                   std::stop_token stop);

    PatternMatchCounts Count();

private:
    std::map<std::string, Sides> ListLevel(const PendingFolder& level);
    // Whether the item may still be counted: false once the limit or a stop request ends the count.
    bool Admit(const Sides& sides);
    // Counts the item for the patterns that decide on it; true when one does, so that a folder is
    // not gone into.
    bool CountItem(const std::string& relative, const Sides& sides);
    std::optional<std::size_t> DecidingPattern(std::string_view relative, bool folder) const;

    FileSystem& fileSystem_;
    const std::vector<std::string>& folders_;
    IgnorePatternSet set_;
    std::uint64_t entryLimit_;
    std::stop_token stop_;
    PatternMatchCounts result_;
};

// The set is built from copies of the patterns whose origins are their places in the list: a match
// then tells which pattern of the list it is, also where two patterns read alike.
std::vector<IgnorePattern> NumberedPatterns(const std::vector<IgnorePattern>& patterns)
{
    std::vector<IgnorePattern> numbered;
    numbered.reserve(patterns.size());
    for (std::size_t place = 0; place < patterns.size(); ++place)
        numbered.push_back({patterns[place].text, std::to_string(place)});
    return numbered;
}

PatternCounter::PatternCounter(FileSystem& fileSystem, const std::vector<std::string>& folders,
                               const std::vector<IgnorePattern>& patterns, std::uint64_t entryLimit,
                               std::stop_token stop)
    : fileSystem_(fileSystem), folders_(folders), set_(NumberedPatterns(patterns)), entryLimit_(entryLimit),
      stop_(std::move(stop))
{
    result_.counts.assign(patterns.size(), 0);
}

PatternMatchCounts PatternCounter::Count()
{
    if (set_.IsEmpty())
        return std::move(result_);
    std::vector<PendingFolder> pending{{std::string(), std::vector<bool>(folders_.size())}};
    for (std::size_t side = 0; side < folders_.size(); ++side)
        pending.front().heldBy[side] = !folders_[side].empty();
    while (!pending.empty()) {
        const PendingFolder level = std::move(pending.back());
        pending.pop_back();
        for (const auto& [name, sides] : ListLevel(level)) {
            if (!Admit(sides)) {
                result_.stoppedEarly = true;
                return std::move(result_);
            }
            const std::string relative = level.relative + name;
            if (CountItem(relative, sides))
                continue;
            PendingFolder below{relative + pathSeparator, std::vector<bool>(sides.size())};
            bool anyFolder = false;
            for (std::size_t side = 0; side < sides.size(); ++side) {
                below.heldBy[side] = sides[side] == EntryKind::Folder;
                anyFolder = anyFolder || below.heldBy[side];
            }
            if (anyFolder)
                pending.push_back(std::move(below));
        }
    }
    return std::move(result_);
}

std::map<std::string, Sides> PatternCounter::ListLevel(const PendingFolder& level)
{
    std::map<std::string, Sides> names;
    for (std::size_t side = 0; side < folders_.size(); ++side) {
        if (!level.heldBy[side])
            continue;
        // A folder that cannot be listed holds nothing to count; the run will say why it failed.
        (void)fileSystem_.ListFolder(folders_[side] + level.relative, [&](std::string_view name,
                                                                          EntryKind kind) {
            names.try_emplace(std::string(name), folders_.size(), EntryKind::Missing).first->second[side] =
                kind;
            return !stop_.stop_requested();
        });
    }
    return names;
}

bool PatternCounter::Admit(const Sides& sides)
{
    std::uint64_t present = 0;
    for (const EntryKind kind : sides)
        present += kind == EntryKind::Missing ? 0 : 1;
    if (stop_.stop_requested() || result_.entriesSeen + present > entryLimit_)
        return false;
    result_.entriesSeen += present;
    return true;
}

bool PatternCounter::CountItem(const std::string& relative, const Sides& sides)
{
    std::optional<std::size_t> counted;
    for (const EntryKind kind : sides) {
        if (kind == EntryKind::Missing)
            continue;
        const std::optional<std::size_t> pattern = DecidingPattern(relative, kind == EntryKind::Folder);
        // A name that is a file on one side and a folder on the other may match two patterns; each
        // counts it once.
        if (pattern && pattern != counted)
            ++result_.counts[*pattern];
        if (pattern && !counted)
            counted = pattern;
    }
    return counted.has_value();
}

std::optional<std::size_t> PatternCounter::DecidingPattern(std::string_view relative, bool folder) const
{
    const IgnorePattern* match = set_.OwnMatch(relative, folder);
    if (match == nullptr)
        return std::nullopt;
    std::size_t place = 0;
    const std::string& origin = match->origin;
    const auto [end, error] = std::from_chars(origin.data(), origin.data() + origin.size(), place);
    if (error != std::errc() || end != origin.data() + origin.size() || place >= result_.counts.size())
        return std::nullopt;
    return place;
}

} // namespace

PatternMatchCounts CountPatternMatches(FileSystem& fileSystem, const std::vector<std::string>& folders,
                                       const std::vector<IgnorePattern>& patterns, std::uint64_t entryLimit,
                                       std::stop_token stop)
{
    return PatternCounter(fileSystem, folders, patterns, entryLimit, std::move(stop)).Count();
}

} // namespace twinfol
