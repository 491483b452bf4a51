// The stand-in's stored-input reader on any bytes, and the job it describes run on a small
// fixed model: the job either reports a time or exits non-zero with the reason in its log.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzzfile.h"
#include "sim/kestojob.h"
#include "sim/ksxmodel.h"

using namespace pelvarn;
using namespace pelvarn::sim;

namespace {

const char* const SmallModel =
    "Set COM # commodities # size 3;\n"
    "Set REG (north, south);\n"
    "Variable (all,c,COM)(all,r,REG) p(c,r);\n"
    "Variable (all,c,COM)(all,r,REG) q(c,r);\n"
    "Variable (all,r,REG) y(r);\n"
    "Variable (all,c,COM) w(c);\n"
    "Equation E_p (all,c,COM)(all,r,REG) p(c,r) = w(c) + y(r);\n"
    "Equation E_q (all,c,COM)(all,r,REG) q(c,r) = y(r) - p(c,r);\n"
    "Equation E_y (all,r,REG) y(r) = q(\"c1\",r);\n"
    "Equation E_w (all,c,COM) w(c) = p(c,\"north\") + q(c,\"south\");\n";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TKsxModel model = [] {
        TKsxModel m;
        std::string msg;
        fuzz::Expect(ParseKsxModel(SmallModel, m, msg), "the fixed model parses");
        return m;
    }();
    const std::vector<std::string> lines = fuzz::SplitLines(data, size);
    std::string reportPath;
    if (IsReportRequest(lines, reportPath)) return 0;
    TStoredInput input;
    std::string msg;
    const bool ok = ParseStoredInput(lines, input, msg);
    fuzz::Expect(ok == msg.empty(), "a refusal carries a reason, a success none");
    if (!ok) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TJobSettings settings;
    settings.Noise = 0.1;
    const TJobOutcome out = RunJobOnModel("Job1.sti", input, "small.ksx", model, bytes, settings);
    if (out.ExitCode == 0) {
        fuzz::Expect(std::isfinite(out.Seconds) && out.Seconds >= 0, "a time of 0 or more");
        fuzz::Expect(out.LogText.find("Total CPU is") != std::string::npos, "the time is logged");
    } else {
        fuzz::Expect(out.SolutionText.empty(), "a refused job writes no solution");
    }
    return 0;
}
