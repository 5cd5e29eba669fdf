// The outcome of a step of an SSH connection: success, or a text a person reads that says what went
// wrong and, where there is one, what to do about it.
#pragma once

#include <string>
#include <utility>

namespace twinfol {

class [[nodiscard]] SshStatus {
public:
    SshStatus() = default;
    static SshStatus Failure(std::string text) { return SshStatus(std::move(text)); }

    bool IsOk() const { return text_.empty(); }
    explicit operator bool() const { return IsOk(); }
    const std::string& Text() const { return text_; }

private:
    explicit SshStatus(std::string text) : text_(text.empty() ? "the SSH connection failed" : std::move(text))
    {
    }

    std::string text_;
};

} // namespace twinfol
