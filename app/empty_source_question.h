// The question put before a run whose source folder is empty while its target holds items the run
// would delete: most often a disk that is not mounted.
#pragma once

#include <QString>

#include <string>

#include "engine/walk/deletion_guard.h"

namespace twinfol {

// The text of the question, with the items at stake and the files and bytes they hold; the paths show
// every byte that is not UTF-8 as \xNN.
QString EmptySourceQuestion(const EmptySourceLosses& losses, const std::string& source,
                            const std::string& target);

} // namespace twinfol
