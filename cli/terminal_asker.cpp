// Reading one answer letter per delete question.
#include "cli/terminal_asker.h"

#include <optional>
#include <string>

#include "cli/text_encoding.h"

namespace twinfol::cli {
namespace {

std::optional<ConfirmAnswer> AnswerFromLine(const std::string& line)
{
    const auto first = line.find_first_not_of(" \t\r");
    const auto last = line.find_last_not_of(" \t\r");
    if (first == std::string::npos || first != last)
        return std::nullopt;
    switch (line[first]) {
    case 'y':
    case 'Y': return ConfirmAnswer::Yes;
    case 'a':
    case 'A': return ConfirmAnswer::YesToAll;
    case 'n':
    case 'N': return ConfirmAnswer::No;
    case 'o':
    case 'O': return ConfirmAnswer::NoToAll;
    case 'c':
    case 'C': return ConfirmAnswer::Cancel;
    default: return std::nullopt;
    }
}

} // namespace

ConfirmAnswer TerminalAsker::Ask(const ConfirmQuestion& question)
{
    out_ << ForTerminal(question.lines[0]) << '\n';
    for (const std::string& line : {question.lines[1], question.lines[2], question.lines[3]})
        if (!line.empty())
            out_ << ForTerminal(line) << '\n';
    for (;;) {
        out_ << "[y] Yes  [a] Yes To All  [n] No  [o] No To All  [c] Cancel: " << std::flush;
        std::string line;
        if (!std::getline(in_, line)) {
            out_ << '\n' << std::flush;
            return ConfirmAnswer::Cancel;
        }
        if (const auto answer = AnswerFromLine(line))
            return *answer;
        out_ << "Please type one of y, a, n, o or c, then Enter.\n";
    }
}

} // namespace twinfol::cli
