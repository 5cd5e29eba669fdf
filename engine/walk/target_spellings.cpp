// Telling which listed entry an unlisted name reached, and giving it the source's spelling.
#include "engine/walk/target_spellings.h"

#include <cerrno>

#include "engine/fs/case_folding.h"
#include "engine/fs/refusal_rules.h"

namespace twinfol {

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
        return {SpellingOutcome::Refused, {}, CaseTwinRefusal()};
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
