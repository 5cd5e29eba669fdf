// The paths a job leaves alone: full paths, a folder as its path ending with the separator, kept in
// ascending byte order so that a path is looked up by halving.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace twinfol {

class ExclusionList {
public:
    ExclusionList() = default;
    explicit ExclusionList(std::vector<std::string> entries);

    // True when the path is byte-for-byte equal to an entry: no prefix, wildcard or case folding.
    bool IsExcluded(std::string_view path) const;

    const std::vector<std::string>& Entries() const { return entries_; }
    bool IsEmpty() const { return entries_.empty(); }
    std::size_t Size() const { return entries_.size(); }

    // Appends an entry as it stands; call Sort afterwards to restore the order the lookup needs.
    void Append(std::string entry) { entries_.push_back(std::move(entry)); }
    // Puts the entries in ascending byte order; duplicates and empty entries are kept.
    void Sort();
    void Clear() { entries_.clear(); }

    friend bool operator==(const ExclusionList&, const ExclusionList&) = default;

private:
    std::vector<std::string> entries_;
};

} // namespace twinfol
