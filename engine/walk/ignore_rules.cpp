// The ignore patterns and size limits of a run.
#include "engine/walk/ignore_rules.h"

#include "base/path.h"
#include "base/size_text.h"

namespace twinfol {

IgnoreRules::IgnoreRules(const SyncOptions& options, std::string sourceRoot, std::string targetRoot)
    : patterns_(options.ignorePatterns), maxSize_(options.maxFileSize), minSize_(options.minFileSize),
      deletesIgnored_(options.deleteIgnored && options.deleteMissing), sourceRoot_(std::move(sourceRoot)),
      targetRoot_(std::move(targetRoot))
{
}

std::string_view IgnoreRules::BelowRoot(const std::string& path) const
{
    std::string_view below = path;
    // The longer root first: one root may lie inside the other's name space only by its spelling.
    const std::string& first = sourceRoot_.size() >= targetRoot_.size() ? sourceRoot_ : targetRoot_;
    const std::string& second = &first == &sourceRoot_ ? targetRoot_ : sourceRoot_;
    if (!first.empty() && below.starts_with(first))
        below.remove_prefix(first.size());
    else if (!second.empty() && below.starts_with(second))
        below.remove_prefix(second.size());
    while (below.starts_with(pathSeparator))
        below.remove_prefix(1);
    while (below.ends_with(pathSeparator))
        below.remove_suffix(1);
    return below;
}

std::string IgnoreRules::ReasonFor(const std::string& path, bool folder,
                                   std::optional<std::int64_t> size) const
{
    if (!patterns_.IsEmpty()) {
        if (const IgnorePattern* pattern = patterns_.OwnMatch(BelowRoot(path), folder)) {
            std::string reason = "excluded by pattern `" + pattern->text + "`";
            if (!pattern->origin.empty())
                reason += " (from " + pattern->origin + ")";
            return reason;
        }
    }
    if (folder || !size)
        return {};
    if (maxSize_ && *size > *maxSize_)
        return "larger than " + SizeLimitText(*maxSize_);
    if (minSize_ && *size < *minSize_)
        return "smaller than " + SizeLimitText(*minSize_);
    return {};
}

} // namespace twinfol

namespace twinfol {

bool IgnoreRules::SamePlace(const std::string& sourceDir, const std::string& targetDir) const
{
    return sourceDir.starts_with(sourceRoot_) && targetDir.starts_with(targetRoot_) &&
           std::string_view(sourceDir).substr(sourceRoot_.size()) ==
               std::string_view(targetDir).substr(targetRoot_.size());
}

} // namespace twinfol
