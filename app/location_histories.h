// The two lists of recently used locations behind the main window's drop-down lists: the most recent
// path first, a path never twice, the length kept once the lists are filled.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace twinfol {

enum class LocationSide { Location1, Location2 };

class LocationHistories {
public:
    // Each list holds this many entries once restored; a place without a path holds the empty text.
    static constexpr std::size_t size = 5;

    LocationHistories() = default;
    LocationHistories(std::vector<std::string> location1, std::vector<std::string> location2);

    const std::vector<std::string>& Of(LocationSide side) const;
    // The entry at a place of one list; the empty text beyond its end.
    std::string Entry(LocationSide side, std::size_t place) const;
    std::string Front(LocationSide side) const { return Entry(side, 0); }

    // Moves the path to the front of its list, or inserts it there and drops the last entry, so the
    // list keeps its length. An empty path names no folder and changes nothing.
    void Push(LocationSide side, const std::string& path);

private:
    std::vector<std::string>& Mutable(LocationSide side);

    std::vector<std::string> location1History;
    std::vector<std::string> location2History;
};

} // namespace twinfol
