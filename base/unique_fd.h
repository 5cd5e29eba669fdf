// Owns one file descriptor and closes it when it goes out of scope: the one owner of descriptors in
// every layer of the program.
#pragma once

#include <unistd.h>

#include <utility>

namespace twinfol {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool IsValid() const { return fd_ >= 0; }
    explicit operator bool() const { return IsValid(); }

    // Gives up ownership without closing.
    int Release() { return std::exchange(fd_, -1); }

    void Reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

    // Closes now and answers close()'s own result: a delayed write error (on a network file system,
    // say) may only show here. 0 when nothing was open.
    int Close() { return fd_ >= 0 ? ::close(Release()) : 0; }

private:
    int fd_ = -1;
};

} // namespace twinfol
