// Telling which listed entry an unlisted name reached, and giving it the source's spelling.
#include "engine/walk/target_spellings.h"

#include <cerrno>

#include "engine/walk/case_folding.h"

namespace twinfol {
namespace {

constexpr const char* otherSpellingReason =
    "the target folder does not tell upper and lower case apart, and another spelling of this name "
    "is already there";

} // namespace

SpellingCheck TargetSpellings::BeforeAdd(const std::string& targetDir, const std::string& name,
                                         std::set<std::string>& unmatched,
                                         const std::set<std::string>& otherKind,
                                         const std::set<std::string>& sourceNames)
{
    if (otherKind.contains(name))
        return {};
    EntryFacts reached;
    // Nothing there, or nothing that can be seen: the add goes ahead and meets whatever it meets.
    if (!fileSystem_.LookAt(targetDir + name, reached))
        return {};
    const std::string listed = FindListedSpelling(targetDir, name, reached, unmatched, sourceNames);
    if (listed.empty())
        return {SpellingOutcome::Refused, {}, FsStatus::Refusal(EEXIST, otherSpellingReason)};
    unmatched.erase(listed);
    return {SpellingOutcome::OtherSpelling, listed, {}};
}

std::string TargetSpellings::FindListedSpelling(const std::string& targetDir, const std::string& name,
                                                const EntryFacts& reached,
                                                const std::set<std::string>& unmatched,
                                                const std::set<std::string>& sourceNames)
{
    // A name the source holds itself is that source name's twin, never another's.
    const auto available = [&](const std::string& listed) { return !sourceNames.contains(listed); };
    const std::string folded = FoldCase(name);
    std::string byCase;
    int caseMatches = 0;
    for (const std::string& listed : unmatched)
        if (FoldCase(listed) == folded && available(listed)) {
            byCase = listed;
            ++caseMatches;
        }
    if (caseMatches == 1)
        return byCase;
    // FUSE file systems number an entry by the name it was reached by, so two spellings of one entry
    // may show two inode numbers there; elsewhere the numbers also find what other folding rules
    // (accents, letters outside the folded ranges) make one name.
    if (reached.inode == 0)
        return {};
    for (const std::string& listed : unmatched) {
        EntryFacts facts;
        if (available(listed) && fileSystem_.LookAt(targetDir + listed, facts) &&
            facts.inode == reached.inode && facts.device == reached.device)
            return listed;
    }
    return {};
}

} // namespace twinfol
