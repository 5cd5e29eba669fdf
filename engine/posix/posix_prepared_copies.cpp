// The prepared copies of each thread, found by the copy that names them.
#include "engine/posix/posix_prepared_copies.h"

#include <utility>

namespace twinfol {
namespace {

thread_local PosixPreparedCopies* preparedOfThisThread = nullptr;

} // namespace

PosixPreparedCopies::PosixPreparedCopies(std::vector<PreparedCopy> copies)
    : copies_(std::move(copies)), previous_(std::exchange(preparedOfThisThread, this))
{
}

PosixPreparedCopies::~PosixPreparedCopies()
{
    // An unnamed file not taken vanishes as its descriptor closes.
    preparedOfThisThread = previous_;
}

bool PosixPreparedCopies::TakeForThisThread(const std::string& from, const std::string& to,
                                            PreparedCopy& copy)
{
    PosixPreparedCopies* const prepared = preparedOfThisThread;
    if (prepared == nullptr)
        return false;
    for (PreparedCopy& candidate : prepared->copies_) {
        if (!candidate.temporary || candidate.to != to || candidate.from != from)
            continue;
        copy = std::move(candidate);
        ++prepared->used_;
        return true;
    }
    return false;
}

} // namespace twinfol
