// The base of every object that is saved as text and read back.
#pragma once

#include <istream>
#include <ostream>

namespace twinfol {

class Serializable {
public:
    virtual ~Serializable() = default;
    // Writes the object to the stream and returns the stream.
    virtual std::ostream& Write(std::ostream& out) = 0;
    // Fills the object from the stream and returns the stream.
    virtual std::istream& Read(std::istream& in) = 0;
};

} // namespace twinfol
