// Copying a program to where every user may run it.
#include "support/program_copy.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace twinfol::test {
namespace fs = std::filesystem;

ProgramCopy::ProgramCopy(const std::string& program)
{
    std::string pattern = (fs::temp_directory_path() / "twinfol-program-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    path_ = folder_ + "/" + fs::path(program).filename().string();
    std::error_code error;
    // mkdtemp makes the folder 0700, and the umask may have taken bits off the copy.
    if (chmod(folder_.c_str(), 0755) != 0 || !fs::copy_file(program, path_, error) ||
        chmod(path_.c_str(), 0755) != 0) {
        fs::remove_all(folder_, error);
        throw std::runtime_error("could not copy " + program + " to " + path_);
    }
}

ProgramCopy::~ProgramCopy()
{
    std::error_code error;
    fs::remove_all(folder_, error);
}

} // namespace twinfol::test
