#include "sim/modelgen.h"

#include <algorithm>
#include <vector>

#include "base/prng.h"
#include "base/textutil.h"

namespace pelvarn::sim {

namespace {

const std::string Eol = "\r\n";

struct TGenSet {
    const char* Name;
    const char* Index;
    int Low, High;
};

const TGenSet GenSets[] = {
    {"COM", "c", 8, 20}, {"IND", "i", 6, 14}, {"REG", "r", 3, 8},
    {"FAC", "f", 2, 4},  {"MAR", "m", 2, 3},
};
constexpr int GenSetCount = 5;

struct TGenVar {
    std::string Name;
    std::vector<int> Sets;
};

std::string Quantifiers(const std::vector<int>& sets) {
    std::string q;
    for (int s : sets)
        q += std::string("(all,") + GenSets[s].Index + "," + GenSets[s].Name + ")";
    return q;
}

std::string Args(const std::vector<int>& sets) {
    if (sets.empty()) return "";
    std::string a = "(";
    for (std::size_t k = 0; k < sets.size(); ++k)
        a += (k ? "," : "") + std::string(GenSets[sets[k]].Index);
    return a + ")";
}

} // namespace

TGeneratedModel GenerateModel(int candidates, std::uint32_t seed, bool hubs) {
    candidates = std::clamp(candidates, 1, 500);
    TRandom random(seed * 2654435761u + 12345u);
    // The hubs draw from a generator of their own, so that the rest of the model is the one
    // generated without them.
    TRandom hubRandom(seed * 2246822519u + 374761393u);
    TGeneratedModel out;
    std::string& m = out.ModelText;
    m += "! Synthetic model for the stand-in suite: " + std::to_string(candidates) +
         " condensation candidates, seed " + std::to_string(seed) + " !" + Eol;
    int sizes[GenSetCount];
    for (int s = 0; s < GenSetCount; ++s) {
        sizes[s] = GenSets[s].Low + random.Below(GenSets[s].High - GenSets[s].Low + 1);
        m +=
            std::string("Set ") + GenSets[s].Name + " size " + std::to_string(sizes[s]) + ";" + Eol;
    }
    auto randomSets = [&random]() {
        std::vector<int> sets;
        int r = random.Below(100);
        int count = r < 5 ? 0 : r < 50 ? 1 : 2;
        while (static_cast<int>(sets.size()) < count) {
            int s = random.Below(GenSetCount);
            if (std::find(sets.begin(), sets.end(), s) == sets.end()) sets.push_back(s);
        }
        std::sort(sets.begin(), sets.end());
        return sets;
    };
    // Candidates x1.., variables that stay in the system y1.., exogenous ones f1...
    const int core = std::max(3, candidates / 2);
    const int exogenous = std::max(2, candidates / 4);
    std::vector<TGenVar> vars;
    for (int k = 1; k <= candidates; ++k)
        vars.push_back({"x" + std::to_string(k), randomSets()});
    for (int k = 1; k <= core; ++k)
        vars.push_back({"y" + std::to_string(k), randomSets()});
    for (int k = 1; k <= exogenous; ++k)
        vars.push_back({"f" + std::to_string(k), randomSets()});
    for (const TGenVar& v : vars)
        m += "Variable " + Quantifiers(v.Sets) + (v.Sets.empty() ? "" : " ") + v.Name +
             Args(v.Sets) + ";" + Eol;

    const int total = static_cast<int>(vars.size());
    std::vector<char> isHub(candidates, 0);
    for (int h = 0, want = hubs ? std::max(1, candidates / HubShare) : 0; h < want;) {
        int k = hubRandom.Below(candidates);
        if (!isHub[k]) isHub[k] = 1, ++h;
    }
    auto hubTerms = [&](int own) {
        std::string text;
        if (own < candidates && isHub[own]) {
            // A definition over many of the model's widest variables, as an index of flows
            // by commodity and region is.
            std::vector<int> pool;
            for (int t = candidates; t < total; ++t)
                if (vars[t].Sets.size() == 2) pool.push_back(t);
            const int want = HubWidth + hubRandom.Below(HubWidth / 2 + 1);
            for (int n = 0; n < want && !pool.empty(); ++n) {
                const int pick = hubRandom.Below(static_cast<int>(pool.size()));
                text += " + H" + std::to_string(n) + "*" + vars[pool[pick]].Name;
                pool.erase(pool.begin() + pick);
            }
            return text;
        }
        for (int k = 0; k < candidates; ++k)
            if (isHub[k] && hubRandom.Below(100) < HubReach)
                text += " + H" + std::to_string(k) + "*" + vars[k].Name;
        return text;
    };
    auto equation = [&](const std::string& name, int own, int others) {
        std::vector<int> terms{own};
        while (static_cast<int>(terms.size()) < others + 1) {
            int t = random.Below(total);
            if (std::find(terms.begin(), terms.end(), t) == terms.end()) terms.push_back(t);
        }
        std::string text = "Equation " + name + " " + Quantifiers(vars[own].Sets) + " " +
                           vars[own].Name + Args(vars[own].Sets) + " =";
        for (std::size_t k = 1; k < terms.size(); ++k)
            text += std::string(k > 1 ? " +" : "") + " A" + std::to_string(k) + "*" +
                    vars[terms[k]].Name;
        if (hubs) text += hubTerms(own);
        m += text + ";" + Eol;
    };
    for (int k = 0; k < candidates; ++k)
        equation("E_" + vars[k].Name, k, 1 + random.Below(4));
    for (int k = 0; k < core; ++k)
        equation("E_" + vars[candidates + k].Name, candidates + k, 2 + random.Below(5));

    std::string& s = out.StiText;
    s += "! Stored input for the stand-in suite, written by kesto gen" + std::string(Eol);
    s += PadRight(GeneratedModelFileName, 20) + "! model file" + Eol;
    s += "!pelvarnbegin!" + std::string(Eol);
    for (int k = 0; k < candidates; ++k) {
        int r = random.Below(100);
        bool backsolve = r < 15;
        bool commented = r >= 70 || isHub[k]; // no modeller condenses a hub
        bool mustSub = !commented && !backsolve && random.Below(100) < 8;
        if (isHub[k]) backsolve = false;
        std::string bang = commented ? "!" : "";
        s += PadRight(bang + (backsolve ? "b" : "s"), 20) + (mustSub ? "! mustsub" : "") + Eol;
        s += bang + PadRight(vars[k].Name, 20) + Eol;
        s += bang + PadRight("E_" + vars[k].Name, 20) + Eol;
    }
    s += "!pelvarnend" + std::string(Eol);
    s += PadRight("e", 20) + "! end of the condensation" + Eol;
    return out;
}

TGeneratedModel GenerateGroupedModel(int candidates, std::uint32_t seed, int groupSize) {
    candidates = std::clamp(candidates, 1, 500);
    groupSize = std::clamp(groupSize, 2, 12);
    TRandom random(seed * 2654435761u + 40503u);
    TGeneratedModel out;
    std::string& m = out.ModelText;
    m += "! Synthetic model for the stand-in suite: " + std::to_string(candidates) +
         " condensation candidates in blocks of about " + std::to_string(groupSize) + ", seed " +
         std::to_string(seed) + " !" + Eol;
    for (const TGenSet& set : GenSets)
        m += std::string("Set ") + set.Name + " size " +
             std::to_string(set.Low + random.Below(set.High - set.Low + 1)) + ";" + Eol;

    // The wide variables: flows by commodity or industry and by region (mostly), factor or
    // margin. Those that stay in the system (y) have equations among themselves; the
    // exogenous ones (f) have none.
    const int core = std::max(3, candidates / 16);
    const int exogenous = std::max(4, candidates / 4);
    std::vector<TGenVar> wide;
    const int secondSets[] = {2, 2, 3, 4};
    for (int k = 1; k <= core + exogenous; ++k)
        wide.push_back({(k <= core ? "y" + std::to_string(k) : "f" + std::to_string(k - core)),
                        {random.Below(2), secondSets[random.Below(4)]}});

    // The blocks: their sizes and the set they run over (mostly none; a factor or a margin).
    struct TBlock {
        std::vector<int> Sets;
        int Size = 0;
        int First = 0; // number of its first candidate, less one
    };
    std::vector<TBlock> blocks;
    for (int left = candidates; left > 0;) {
        int size = std::max(2, groupSize - 1 + random.Below(3));
        if (left - size < 2) size = left; // no block of one
        const int r = random.Below(10);
        blocks.push_back({r < 7 ? std::vector<int>{} : std::vector<int>{r < 8 ? 3 : 4}, size,
                          candidates - left});
        left -= size;
    }
    std::vector<TGenVar> members(candidates);
    std::vector<std::string> equations(candidates);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const TBlock& block = blocks[b];
        // The order in which the block's equations are written: member j is candidate
        // First + 1 + place[j].
        std::vector<int> place(block.Size);
        for (int j = 0; j < block.Size; ++j)
            place[j] = j;
        for (int j = block.Size - 1; j > 0; --j)
            std::swap(place[j], place[random.Below(j + 1)]);
        auto name = [&](int j) { return "x" + std::to_string(block.First + 1 + place[j]); };
        // Member j's equation holds member j + 1 (and now and then one further down) and
        // wide variables that no other equation of the block holds while there are such.
        std::vector<int> pool;
        for (int j = 0; j < block.Size; ++j) {
            std::vector<std::string> terms;
            if (j + 1 < block.Size) terms.push_back(name(j + 1));
            if (j + 2 < block.Size && random.Below(100) < 40)
                terms.push_back(name(j + 2 + random.Below(block.Size - j - 2)));
            const int widths = random.Below(10);
            for (int w = 0, want = widths < 2 ? 1 : widths < 6 ? 2 : 3; w < want; ++w) {
                if (pool.empty())
                    for (int k = 0; k < static_cast<int>(wide.size()); ++k)
                        pool.push_back(k);
                const int pick = random.Below(static_cast<int>(pool.size()));
                terms.push_back(wide[pool[pick]].Name);
                pool.erase(pool.begin() + pick);
            }
            const int index = block.First + place[j];
            members[index] = {name(j), block.Sets};
            std::string text = "Equation E_" + name(j) + " " +
                               (block.Sets.empty() ? "" : Quantifiers(block.Sets) + " ") + name(j) +
                               Args(block.Sets) + " =";
            for (std::size_t t = 0; t < terms.size(); ++t)
                text += std::string(t ? " +" : "") + " A" + std::to_string(t + 1) + "*" + terms[t];
            equations[index] = text + ";" + Eol;
        }
    }

    for (const TGenVar& v : members)
        m += "Variable " + (v.Sets.empty() ? "" : Quantifiers(v.Sets) + " ") + v.Name +
             Args(v.Sets) + ";" + Eol;
    for (const TGenVar& v : wide)
        m += "Variable " + Quantifiers(v.Sets) + " " + v.Name + Args(v.Sets) + ";" + Eol;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        m += "! Block " + std::to_string(b + 1) + " !" + Eol;
        for (int j = 0; j < blocks[b].Size; ++j)
            m += equations[blocks[b].First + j];
    }
    for (int k = 0; k < core; ++k) {
        std::vector<int> terms{k};
        for (int want = 3 + random.Below(3); static_cast<int>(terms.size()) < want;) {
            const int t = random.Below(static_cast<int>(wide.size()));
            if (std::find(terms.begin(), terms.end(), t) == terms.end()) terms.push_back(t);
        }
        std::string text = "Equation E_" + wide[k].Name + " " + Quantifiers(wide[k].Sets) + " " +
                           wide[k].Name + Args(wide[k].Sets) + " =";
        for (std::size_t t = 1; t < terms.size(); ++t)
            text += std::string(t > 1 ? " +" : "") + " A" + std::to_string(t) + "*" +
                    wide[terms[t]].Name;
        m += text + ";" + Eol;
    }

    std::string& s = out.StiText;
    s += "! Stored input for the stand-in suite, written by kesto gen" + std::string(Eol);
    s += PadRight(GeneratedModelFileName, 20) + "! model file" + Eol;
    s += "!pelvarnbegin!" + std::string(Eol);
    for (const TGenVar& v : members) {
        s += "!" + PadRight(random.Below(100) < 15 ? "b" : "s", 20) + Eol;
        s += "!" + PadRight(v.Name, 20) + Eol;
        s += "!" + PadRight("E_" + v.Name, 20) + Eol;
    }
    s += "!pelvarnend" + std::string(Eol);
    s += PadRight("e", 20) + "! end of the condensation" + Eol;
    return out;
}

} // namespace pelvarn::sim
