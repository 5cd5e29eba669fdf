// The answers to a delete question and how the to-all answers of a run settle later questions.
#pragma once

#include <array>
#include <string>

namespace twinfol {

// What the person answered; any way of closing the question other than the four answers is Cancel.
enum class ConfirmAnswer : int { Yes = 0, YesToAll = 1, No = 2, NoToAll = 3, Cancel = 4 };

// What the engine does with the item.
enum class ConfirmResult : int { Delete = 0, Skip = 1, CancelRun = 2 };

// One question: the window caption and four text lines.
struct ConfirmQuestion {
    std::string caption;
    std::array<std::string, 4> lines;
};

// Shows a question to the person and returns the answer; the GUI and the runner each have one.
class ConfirmationAsker {
public:
    virtual ~ConfirmationAsker() = default;
    virtual ConfirmAnswer Ask(const ConfirmQuestion& question) = 0;
};

// Settles the question from the to-all flags when one is set; otherwise asks and maps the answer,
// setting a flag for a to-all answer.
ConfirmResult AskDeleteConfirmation(ConfirmationAsker& asker, const ConfirmQuestion& question, bool& yesToAll,
                                    bool& noToAll);

} // namespace twinfol
