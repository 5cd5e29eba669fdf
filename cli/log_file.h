// The file --log-file names: opened before the run, so that a log that cannot be written refuses the
// run before anything is touched, and appended to after it, each entry in one write, so that the
// entries of two runs that overlap never mix.
#pragma once

#include <string>
#include <string_view>

#include "base/unique_fd.h"
#include "engine/fs/fs_status.h"

namespace twinfol::cli {

class LogFile {
public:
    // Opens the file for appending, creating it (mode 0666 less the umask, as a shell's ">>" does).
    FsStatus Open(const std::string& path);
    bool IsOpen() const { return fd_.IsValid(); }
    // Appends the text in one write.
    FsStatus Append(std::string_view text);

private:
    UniqueFd fd_;
};

} // namespace twinfol::cli
