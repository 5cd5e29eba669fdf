// The outcome of a file operation that answers something: the answer, or the failure that kept it from
// being read, with its errno value and reason exactly as FsStatus carries them, so that a problem line
// can say why.
#pragma once

#include <cassert>
#include <optional>
#include <utility>

#include "engine/fs/fs_status.h"

namespace twinfol {

template <typename T> class [[nodiscard]] FsResult {
public:
    // The operation succeeded with this answer.
    FsResult(T value) : value_(std::move(value)) {}
    // The operation failed. A status that says success carries no answer, so it counts as a failure
    // whose cause is unknown rather than as an answer nobody gave.
    FsResult(FsStatus failure) : status_(failure ? FsStatus::Failure(0) : std::move(failure))
    {
        assert(!status_.IsOk());
    }

    bool IsOk() const { return value_.has_value(); }
    explicit operator bool() const { return IsOk(); }
    // Success when there is an answer, else the failure with its errno value and reason.
    const FsStatus& Status() const { return status_; }
    int Error() const { return status_.Error(); }

    // The answer; only to be asked for after a success.
    const T& operator*() const& { return *value_; }
    T& operator*() & { return *value_; }
    T&& operator*() && { return *std::move(value_); }
    const T* operator->() const { return &*value_; }
    T* operator->() { return &*value_; }
    // The answer, or the fallback when the operation failed.
    template <typename U> T value_or(U&& fallback) const&
    {
        return value_.value_or(std::forward<U>(fallback));
    }
    template <typename U> T value_or(U&& fallback) &&
    {
        return std::move(value_).value_or(std::forward<U>(fallback));
    }
    // The answer without the failure, for a caller that keeps only whether there was one.
    std::optional<T> ToOptional() const& { return value_; }

    // Whether the operation succeeded with exactly this answer.
    friend bool operator==(const FsResult& result, const T& value) { return result.value_ == value; }

private:
    std::optional<T> value_;
    FsStatus status_;
};

} // namespace twinfol
