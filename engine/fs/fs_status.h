// The outcome of one file operation: success, or the errno value that made it fail together with a
// reason a person can read.
#pragma once

#include <string>

namespace twinfol {

class [[nodiscard]] FsStatus {
public:
    FsStatus() = default;
    // A failure the system reported: its errno value.
    static FsStatus Failure(int error) { return FsStatus(error == 0 ? -1 : error, nullptr); }
    // A failure this program decided on itself (a read-only file left alone, say): the errno value
    // callers test, and a short text of our own that says why better than the system's text would.
    // The text must outlive every status that carries it: a string literal.
    static FsStatus Refusal(int error, const char* ownReason)
    {
        return FsStatus(error == 0 ? -1 : error, ownReason);
    }
    // A failure the system reported at one step of the operation that names the culprit better than
    // the operation's own name would (the source of a copy that cannot be read, say): the reason is
    // the step, a colon and the system's text. The step must outlive every status: a string literal.
    static FsStatus FailureAt(const char* step, int error)
    {
        FsStatus status = Failure(error);
        status.step_ = step;
        return status;
    }

    bool IsOk() const { return error_ == 0; }
    explicit operator bool() const { return IsOk(); }
    int Error() const { return error_; }
    // Whether this program decided on the failure itself (a rule it keeps), not the system.
    bool IsRefusal() const { return ownReason_ != nullptr; }
    // The step a system failure happened at, as FailureAt named it; nullptr for any other status.
    const char* Step() const { return step_; }
    // Why the operation failed: the text of our own when there is one, else the system's text for the
    // errno value; empty on success.
    std::string Reason() const;

private:
    FsStatus(int error, const char* ownReason) : error_(error), ownReason_(ownReason) {}

    int error_ = 0;
    const char* ownReason_ = nullptr;
    const char* step_ = nullptr;
};

} // namespace twinfol
