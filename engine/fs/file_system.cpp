// What every file-system layer shares: a run scope that holds nothing.
#include "engine/fs/file_system.h"

namespace twinfol {

std::unique_ptr<RunScope> FileSystem::BeginRun(const std::string&, const std::string&)
{
    return std::make_unique<RunScope>();
}

} // namespace twinfol
