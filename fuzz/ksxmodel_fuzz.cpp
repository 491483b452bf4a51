// The stand-in's model parser on any text: a model or a reason, and a parsed model's
// indices all point inside it. The search's reading of the same text for its structure
// gives a structure or a reason, and a structure works out keys for any order.
#include <cstdint>
#include <string>

#include "fuzz/fuzzfile.h"
#include "search/structure.h"
#include "sim/ksxmodel.h"
#include "sti/subrecord.h"

using namespace pelvarn;
using namespace pelvarn::sim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TKsxModel model;
    std::string msg;
    const bool ok = ParseKsxModel(text, model, msg);
    fuzz::Expect(ok == msg.empty(), "a refusal carries a reason, a success none");

    std::vector<std::pair<std::string, std::string>> records{{"x", "E_x"}};
    for (const TModelVar& v : model.Vars)
        if (model.FindEq("E_" + v.Name) >= 0) records.emplace_back(v.Name, "E_" + v.Name);
    search::TModelStructure structure;
    std::string reason;
    if (structure.Parse(text, records, reason)) {
        std::vector<std::int32_t> stat(records.size(), sub), order;
        for (std::size_t r = records.size(); r >= 1; --r)
            order.push_back(static_cast<std::int32_t>(r));
        fuzz::Expect(!structure.EliminationKey(stat, order).empty() || records.size() > 1,
                     "a single record's elimination can always be worked out");
    } else {
        fuzz::Expect(!reason.empty(), "a structure refused carries a reason");
    }
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
