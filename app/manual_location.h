// Where the HTML manual that "Help" opens is found.
#pragma once

#include <optional>
#include <string>

#include "engine/fs/file_system.h"

namespace twinfol {

// The manual lies beside the program when it runs from its build folder, and under the shared
// documentation folder once installed; nothing when neither holds it. The program folder ends with
// the separator.
std::optional<std::string> FindManual(FileSystem& fileSystem, const std::string& programFolder);

} // namespace twinfol
