// Real temporary folder trees for tests: build files and folders with given content and time
// stamps, read them back, and remove everything when the test ends.
#pragma once

#include <ctime>
#include <map>
#include <optional>
#include <string>

namespace twinfol::test {

class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The root folder, ending with the separator.
    const std::string& Root() const { return root_; }
    // Root() + relative path.
    std::string Path(const std::string& relative) const { return root_ + relative; }

    // Creates a folder (and its parents) below the root; returns its path with a trailing separator.
    std::string MakeFolder(const std::string& relative) const;
    // Writes a file (creating parent folders); when modified is given it becomes the last-write time.
    std::string WriteFile(const std::string& relative, const std::string& content,
                          std::optional<std::time_t> modified = std::nullopt) const;
    // Sets the last-write time of a file or folder, with nanoseconds.
    void SetModified(const std::string& relative, std::time_t seconds, long nanoseconds = 0) const;
    std::string MakeSymlink(const std::string& relative, const std::string& pointsTo) const;
    void SetMode(const std::string& relative, unsigned mode) const;
    // Special files, which a copy must refuse without waiting on them.
    std::string MakeFifo(const std::string& relative) const;
    std::string MakeSocket(const std::string& relative) const;

    std::optional<std::string> ReadFile(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    std::time_t Modified(const std::string& relative) const;
    unsigned Mode(const std::string& relative) const;

    // Every entry below the root: relative path (folders with a trailing separator, links as
    // "-> target") mapped to the file content, "" for folders.
    std::map<std::string, std::string> Snapshot() const;

private:
    std::string root_;
};

} // namespace twinfol::test
