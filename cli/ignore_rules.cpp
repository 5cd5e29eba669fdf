// Reading the command line's ignore rules.
#include "cli/ignore_rules.h"

#include "base/path.h"
#include "base/size_text.h"

namespace twinfol::cli {
namespace {

// The refusal for an ignore file that cannot be used, or its patterns appended.
std::string ReadIgnoreFile(FileSystem& fileSystem, const std::string& given, const std::string& workingFolder,
                           std::vector<IgnorePattern>& patterns)
{
    const std::string path =
        given.starts_with(pathSeparator) ? given : JoinPath(WithTrailingSeparator(workingFolder), given);
    std::string content;
    // One byte beyond the bound, so that a larger file is told from one that fills it.
    if (const FsStatus read = fileSystem.ReadFile(path, maxIgnoreFileBytes + 1, content); !read)
        return "cannot read the ignore file " + given + " (" + read.Reason() + ")";
    if (content.size() > maxIgnoreFileBytes)
        return "the ignore file " + given + " is larger than " + SizeLimitText(maxIgnoreFileBytes) +
               "; it does not look like a list of patterns";
    for (IgnorePattern& pattern : ReadIgnoreLines(content, given))
        patterns.push_back(std::move(pattern));
    return {};
}

} // namespace

IgnoreRulesResult ReadIgnoreRules(FileSystem& fileSystem, const std::vector<IgnoreRule>& rules,
                                  const std::string& workingFolder)
{
    IgnoreRulesResult result;
    for (const IgnoreRule& rule : rules) {
        if (rule.kind == IgnoreRule::Kind::Pattern) {
            result.patterns.push_back({rule.text, "--ignore"});
            continue;
        }
        result.refusal = ReadIgnoreFile(fileSystem, rule.text, workingFolder, result.patterns);
        if (!result.refusal.empty())
            break;
    }
    return result;
}

std::string SizeLimitsRefusal(const SyncOptions& options)
{
    if (!options.minFileSize || !options.maxFileSize || *options.minFileSize <= *options.maxFileSize)
        return {};
    return "the smallest file size to copy, " + SizeLimitText(*options.minFileSize) +
           ", is larger than the largest, " + SizeLimitText(*options.maxFileSize) +
           " (the profile's limits and those of --min-size and --max-size): every file would be ignored";
}

} // namespace twinfol::cli
