// The question put before a run whose source folder is empty while its target holds items the run
// would delete: most often a disk that is not mounted.
#pragma once

#include <QString>

#include <cstdint>
#include <string>

namespace twinfol {

// The text of the question; the paths show every byte that is not UTF-8 as \xNN.
QString EmptySourceQuestion(std::int64_t items, const std::string& source, const std::string& target);

} // namespace twinfol
