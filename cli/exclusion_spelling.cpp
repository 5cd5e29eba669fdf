// Putting exclusions into the roots' spelling, and the warnings for those that match nothing.
#include "cli/exclusion_spelling.h"

#include <array>
#include <optional>

#include "base/path.h"

namespace twinfol::cli {
namespace {

bool LooksLikePattern(std::string_view path)
{
    return path.find_first_of("*?[") != std::string_view::npos;
}

// The rest of a tidy path below a tidy root ("" for the root itself), or nothing when it lies elsewhere.
std::optional<std::string> RestBelow(const std::string& tidy, const std::string& tidyRoot)
{
    if (tidy == tidyRoot)
        return std::string();
    const std::string prefix = tidyRoot == "/" ? tidyRoot : tidyRoot + pathSeparator;
    if (!tidy.starts_with(prefix))
        return std::nullopt;
    return tidy.substr(prefix.size());
}

// Whether the part of a profile's entry below a root names its item the way the engine's paths do: no
// empty, "." or ".." part (one trailing "/" aside).
bool IsPlainRest(std::string_view rest)
{
    if (rest.ends_with(pathSeparator))
        rest.remove_suffix(1);
    while (true) {
        const std::size_t end = std::min(rest.find(pathSeparator), rest.size());
        const std::string_view part = rest.substr(0, end);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (end == rest.size())
            return true;
        rest.remove_prefix(end + 1);
    }
}

// One root as the run uses it and tidy, with the word that names it in messages.
struct Root {
    const std::string& spelled;
    std::string tidy;
    const char* name;
};

// Spells one typed exclusion: appends the entry or a warning, or answers the refusal.
std::string SpellOne(FileSystem& fileSystem, const std::string& typed, const std::array<Root, 2>& roots,
                     const std::string& workingFolder, SpelledExclusions& spelled)
{
    const std::string tidy = TidyPath(typed, workingFolder);
    for (const Root& root : roots) {
        const std::optional<std::string> rest = RestBelow(tidy, root.tidy);
        if (!rest)
            continue;
        if (rest->empty())
            return "the exclusion " + typed + " names the " + root.name +
                   " folder itself; an exclusion names a file or folder inside it";
        std::string entry = root.spelled + *rest;
        // Looked at by its tidy whole path, which names the same entry whatever the working folder.
        EntryFacts facts;
        if (!fileSystem.LookAt(tidy, facts)) {
            if (LooksLikePattern(typed))
                break;
            if (typed.ends_with(pathSeparator))
                entry += pathSeparator;
            spelled.warnings.push_back("the exclusion " + typed + " matches nothing in the " + root.name +
                                       " folder (" + entry + ")");
        } else if (facts.kind == EntryKind::Folder) {
            entry += pathSeparator;
        }
        spelled.entries.push_back(std::move(entry));
        return {};
    }
    if (LooksLikePattern(typed))
        return "the exclusion " + typed +
               " looks like a pattern; an exclusion names one file or folder (patterns are not supported "
               "here: give them with --ignore)";
    return "the exclusion " + typed + " lies in neither the source folder nor the target folder";
}

// The warning for one profile entry, empty when it matches what it names.
std::string CheckOne(FileSystem& fileSystem, const std::string& entry, const std::array<Root, 2>& roots,
                     const std::string& workingFolder)
{
    const std::string quoted = "the profile's exclusion " + entry;
    if (LooksLikePattern(entry) && fileSystem.KindOf(entry) == EntryKind::Missing)
        return quoted + " looks like a pattern; patterns are not supported, so it protects nothing";
    const Root* under = nullptr;
    for (const Root& root : roots)
        if (entry.size() > root.spelled.size() && entry.starts_with(root.spelled) &&
            IsPlainRest(std::string_view(entry).substr(root.spelled.size())))
            under = &root;
    if (under == nullptr) {
        for (const Root& root : roots)
            if (const auto rest = RestBelow(TidyPath(entry, workingFolder), root.tidy);
                rest && !rest->empty())
                return quoted + " is spelled unlike the " + root.name + " folder " + root.spelled +
                       ", so it protects nothing";
        return quoted + " lies in neither the source folder nor the target folder";
    }
    const bool folderForm = entry.ends_with(pathSeparator);
    switch (fileSystem.KindOf(WithoutTrailingSeparator(entry))) {
    case EntryKind::Missing: return quoted + " matches nothing in the " + under->name + " folder";
    case EntryKind::Folder:
        return folderForm ? std::string()
                          : quoted + " names a folder but lacks the trailing \"/\", so it protects nothing";
    default:
        return folderForm ? quoted + " ends with \"/\" but names a file, so it protects nothing"
                          : std::string();
    }
}

} // namespace

std::string TidyPath(const std::string& path, const std::string& workingFolder)
{
    const std::string whole = path.starts_with(pathSeparator) ? path : workingFolder + pathSeparator + path;
    std::vector<std::string_view> parts;
    for (std::string_view rest = whole; !rest.empty();) {
        const std::size_t end = std::min(rest.find(pathSeparator), rest.size());
        const std::string_view part = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string tidy;
    for (const std::string_view part : parts) {
        tidy += pathSeparator;
        tidy += part;
    }
    return tidy.empty() ? std::string(1, pathSeparator) : tidy;
}

SpelledExclusions SpellExclusions(FileSystem& fileSystem, const std::vector<std::string>& typed,
                                  const std::string& sourceRoot, const std::string& targetRoot,
                                  const std::string& workingFolder)
{
    const std::array<Root, 2> roots{Root{sourceRoot, TidyPath(sourceRoot, workingFolder), "source"},
                                    Root{targetRoot, TidyPath(targetRoot, workingFolder), "target"}};
    SpelledExclusions spelled;
    for (const std::string& exclusion : typed) {
        spelled.refusal = SpellOne(fileSystem, exclusion, roots, workingFolder, spelled);
        if (!spelled.refusal.empty())
            break;
    }
    return spelled;
}

std::vector<std::string> CheckProfileExclusions(FileSystem& fileSystem,
                                                const std::vector<std::string>& entries,
                                                const std::string& sourceRoot, const std::string& targetRoot,
                                                const std::string& workingFolder)
{
    const std::array<Root, 2> roots{Root{sourceRoot, TidyPath(sourceRoot, workingFolder), "source"},
                                    Root{targetRoot, TidyPath(targetRoot, workingFolder), "target"}};
    std::vector<std::string> warnings;
    for (const std::string& entry : entries)
        if (!entry.empty())
            if (std::string warning = CheckOne(fileSystem, entry, roots, workingFolder); !warning.empty())
                warnings.push_back(std::move(warning));
    return warnings;
}

} // namespace twinfol::cli
