#pragma once
// The exit codes scripts and schedules act on, and the text --help shows for them.

namespace orvane::synctool
{

enum ExitCode {
    ExitSuccess = 0,        ///< done, or nothing to change
    ExitChangesPending = 1, ///< plan: there are changes to apply
    ExitWritesFailed = 2,   ///< some writes failed, conflicted or were interrupted
    ExitConfiguration = 3,  ///< settings, connection, workbook or file error; nothing written
    ExitUsage = 4,          ///< bad command line, or a question that cannot be asked
    ExitThreshold = 5,      ///< apply: the plan is over the change threshold; nothing written
};

inline constexpr const char *kExitCodeHelp =
    "Exit codes:\n"
    "  0  success; no changes pending\n"
    "  1  changes pending (plan)\n"
    "  2  some writes failed, conflicted or were interrupted (see history)\n"
    "  3  configuration, connection, workbook or file error; nothing written\n"
    "  4  bad usage\n"
    "  5  threshold exceeded: nothing written (apply; see --max-changes, --max-percent, --force)\n";

} // namespace orvane::synctool
