// The STI reader on any bytes, and the round trip: a file that is read, written as a job
// file in its own order and read again gives the same records and the same kept parts.
#include <cstdint>
#include <string>

#include "fuzz/fuzzfile.h"
#include "platform/fileio.h"
#include "sti/stiUtils.h"

using namespace pelvarn;

namespace {

struct TRead {
    bool Ok = false;
    std::int32_t NSub = 0;
    TSubInfo Subs;
    std::int32_t FirstCount = 0, LastCount = 0;
    TSTIpart First, Last;
};

void Read(const std::string& path, TRead& r) {
    std::string msg;
    r.Ok = ReadSTIFile(path, r.Subs, r.NSub, msg);
    fuzz::Expect(r.Ok == msg.empty(), "a refusal carries a reason, a success none");
    if (!r.Ok) return;
    r.FirstCount = FirstCount;
    r.LastCount = LastCount;
    for (std::int32_t i = 1; i <= FirstCount; ++i) r.First[i] = FirstPart[i];
    for (std::int32_t i = 1; i <= LastCount; ++i) r.Last[i] = LastPart[i];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string input = fuzz::ScratchPath("in.sti");
    static const std::string job = fuzz::ScratchPath("Job1");
    static TRead first, second; // large: kept off the stack
    fuzz::WriteScratch(input, data, size);
    try {
        Read(input, first);
    } catch (const TFileError&) {
        return 0;
    }
    if (!first.Ok) return 0;

    TSubOrder order;
    ResetOrder(order);
    WriteSTIFile(job, first.Subs, first.NSub, order);
    Read(job, second);
    fuzz::Expect(second.Ok, "a written job file is read back");
    fuzz::Expect(second.NSub == first.NSub, "the same number of records");
    for (std::int32_t k = 1; k <= first.NSub; ++k)
        fuzz::Expect(second.Subs[k] == first.Subs[k], "each record read back unchanged");
    fuzz::Expect(second.FirstCount == first.FirstCount && second.LastCount == first.LastCount,
                 "the same number of kept lines");
    for (std::int32_t i = 1; i <= first.FirstCount; ++i)
        fuzz::Expect(second.First[i] == first.First[i], "the first part read back unchanged");
    for (std::int32_t i = 1; i <= first.LastCount; ++i)
        fuzz::Expect(second.Last[i] == first.Last[i], "the last part read back unchanged");
    return 0;
}
