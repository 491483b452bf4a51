// The CPU-time reader on any log: it answers with a time or a reason, never both.
#include <cstdint>
#include <string>

#include "fuzz/fuzzfile.h"
#include "sti/cputime.h"

using namespace pelvarn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string log = fuzz::ScratchPath("run.log");
    fuzz::WriteScratch(log, data, size);
    float seconds = -12345.0f;
    std::string msg;
    const bool ok = GetCPUTime(log, seconds, msg);
    fuzz::Expect(ok == msg.empty(), "a refusal carries a reason, a success none");
    if (!ok) fuzz::Expect(seconds == -12345.0f, "a refused log leaves the time alone");
    return 0;
}
