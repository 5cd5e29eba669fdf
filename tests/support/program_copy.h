// A copy of a built program where the ordinary user can run it: the build may lie in a folder only
// root may enter (a clone in root's home, or in a folder made by mktemp -d).
#pragma once

#include <string>

namespace twinfol::test {

class ProgramCopy {
public:
    // Copies the program into a new folder of mode 0755 in the temporary folder; throws when it cannot.
    explicit ProgramCopy(const std::string& program);
    // Removes the copy and its folder.
    ~ProgramCopy();
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string folder_;
    std::string path_;
};

} // namespace twinfol::test
