// Running a profile needs the profile reader, which this build does not have yet; until then the
// profile form is refused, and this is the one place to change when it arrives.
#include "cli/profile_job.h"

namespace twinfol::cli {

ProfileJobResult LoadProfileJob(const RunArguments& arguments)
{
    return {std::nullopt, "profiles are not supported yet: " + arguments.profilePath};
}

} // namespace twinfol::cli
