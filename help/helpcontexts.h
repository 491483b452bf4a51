// Every help context number the program uses, with the topic that explains it. The help
// file's context map, its topics and the boxes that open them all follow this table.
#pragma once

#include <cstddef>

namespace pelvarn {

inline constexpr int HcLaunchFailed = 776250;
inline constexpr int HcNothingAltered = 776251;
inline constexpr int HcBadSubstitution = 776252;
inline constexpr int HcExpectedFile = 776253;
inline constexpr int HcStiRefused = 776254;
inline constexpr int HcJobRunning = 776255;
inline constexpr int HcChooseBatch = 776256;
inline constexpr int HcAbout = 776257;
inline constexpr int HcRunTime = 776266;
inline constexpr int HcOvernight = 776270;
inline constexpr int HcTools = 666;

struct THelpContextEntry {
    int Context;
    const char* Alias; // the name in the help file's context map
    const char* Topic; // the topic page inside the help file
};

inline constexpr THelpContextEntry HelpContextTable[] = {
    {HcLaunchFailed, "IDH_LAUNCH_FAILED", "msg_launch_failed.htm"},
    {HcNothingAltered, "IDH_NOTHING_ALTERED", "msg_nothing_altered.htm"},
    {HcBadSubstitution, "IDH_BAD_SUBSTITUTION", "msg_bad_substitution.htm"},
    {HcExpectedFile, "IDH_EXPECTED_FILE", "msg_expected_file.htm"},
    {HcStiRefused, "IDH_STI_REFUSED", "msg_sti_refused.htm"},
    {HcJobRunning, "IDH_JOB_RUNNING", "msg_job_running.htm"},
    {HcChooseBatch, "IDH_CHOOSE_BATCH", "msg_choose_folder.htm"},
    {HcAbout, "IDH_ABOUT", "about.htm"},
    {HcRunTime, "IDH_RUN_TIME", "msg_run_time.htm"},
    {HcOvernight, "IDH_OVERNIGHT", "overnight_window.htm"},
    {HcTools, "IDH_TOOLS", "tools.htm"},
};

inline constexpr std::size_t HelpContextCount = sizeof HelpContextTable / sizeof HelpContextTable[0];

} // namespace pelvarn
