// The runner's schedule forms: --schedule, --unschedule, --schedules and the disk watcher --watch.
#pragma once

#include "cli/exit_code.h"
#include "cli/run_arguments.h"
#include "cli/sync_command.h"

namespace twinfol::cli {

ExitCode RunScheduleCommand(const RunArguments& arguments, CommandEnvironment& environment);

} // namespace twinfol::cli
