// Delete questions at a terminal: the question line, the five answers, one letter and Enter.
#pragma once

#include <istream>
#include <ostream>

#include "engine/records/delete_confirmation.h"

namespace twinfol::cli {

class TerminalAsker : public ConfirmationAsker {
public:
    TerminalAsker(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

    // y Yes, a Yes To All, n No, o No To All, c Cancel; anything else asks again. End of input (or a
    // read broken off by a signal) counts as Cancel.
    ConfirmAnswer Ask(const ConfirmQuestion& question) override;

private:
    std::istream& in_;
    std::ostream& out_;
};

} // namespace twinfol::cli
