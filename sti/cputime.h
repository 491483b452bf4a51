// Reading the CPU time that the suite reports in a job's log: the first line holding
// "Total CPU is", then the number, then "seconds".
#pragma once

#include <string>

namespace pelvarn {

bool GetCPUTime(const std::string& FileName, float& Seconds, std::string& Msg);

} // namespace pelvarn
