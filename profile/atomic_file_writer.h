// Replaces a file's whole content so that the name only ever holds the complete old or the complete
// new content: the data goes to a temporary file beside the target, is flushed to the disk and is
// then renamed over the target.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "engine/file_system.h"

namespace twinfol {

class AtomicFileWriter {
public:
    virtual ~AtomicFileWriter() = default;

    // Writes content under path. A new file gets newFileMode (less the process's umask); an
    // existing file keeps its mode. On failure the previous file is untouched and no temporary
    // file is left behind; the errno value of the failed step is returned.
    FsStatus Replace(const std::string& path, std::string_view content, mode_t newFileMode = 0666) const;

protected:
    // The system calls of a replacement, one virtual each so that tests can make any of them fail
    // part-way. Each follows the POSIX call's convention (-1 and errno on failure).
    virtual ssize_t WriteSome(int descriptor, const char* data, std::size_t size) const;
    virtual int SyncFile(int descriptor) const;
    virtual int RenameFile(const char* from, const char* to) const;

private:
    FsStatus WriteAll(int descriptor, std::string_view content) const;
};

}  // namespace twinfol
