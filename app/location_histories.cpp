// The history rules of the two location lists.
#include "app/location_histories.h"

#include <algorithm>

namespace twinfol {

LocationHistories::LocationHistories(std::vector<std::string> location1, std::vector<std::string> location2)
    : location1History(std::move(location1)), location2History(std::move(location2))
{
}

const std::vector<std::string>& LocationHistories::Of(LocationSide side) const
{
    return side == LocationSide::Location1 ? location1History : location2History;
}

std::vector<std::string>& LocationHistories::Mutable(LocationSide side)
{
    return side == LocationSide::Location1 ? location1History : location2History;
}

std::string LocationHistories::Entry(LocationSide side, std::size_t place) const
{
    const std::vector<std::string>& history = Of(side);
    return place < history.size() ? history[place] : std::string();
}

void LocationHistories::Push(LocationSide side, const std::string& path)
{
    if (path.empty())
        return;
    std::vector<std::string>& history = Mutable(side);
    // Byte for byte: two spellings of one folder are two entries, as they are two paths to the engine.
    const auto found = std::find(history.begin(), history.end(), path);
    if (found != history.end())
        history.erase(found);
    else if (!history.empty())
        history.pop_back();
    history.insert(history.begin(), path);
}

} // namespace twinfol
