// The stand-in's model parser on any text: a model or a reason, and a parsed model's
// indices all point inside it.
#include <cstdint>
#include <string>

#include "fuzz/fuzzfile.h"
#include "sim/ksxmodel.h"

using namespace pelvarn;
using namespace pelvarn::sim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TKsxModel model;
    std::string msg;
    const bool ok = ParseKsxModel(text, model, msg);
    fuzz::Expect(ok == msg.empty(), "a refusal carries a reason, a success none");
    if (!ok) return 0;
    const int sets = static_cast<int>(model.Sets.size());
    const int vars = static_cast<int>(model.Vars.size());
    for (const TModelSet& s : model.Sets)
        fuzz::Expect(s.Size >= 0 && s.Size <= MaxSetSize, "set sizes within bounds");
    for (const TModelVar& v : model.Vars)
        for (int s : v.Sets) fuzz::Expect(s >= 0 && s < sets, "a variable's sets exist");
    for (const TModelEq& e : model.Eqs) {
        for (int s : e.Sets) fuzz::Expect(s >= 0 && s < sets, "an equation's sets exist");
        for (int v : e.Vars) fuzz::Expect(v >= 0 && v < vars, "an equation's variables exist");
    }
    return 0;
}
