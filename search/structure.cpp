#include "search/structure.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "base/paths.h"
#include "base/textutil.h"
#include "platform/fileio.h"
#include "sti/subrecord.h"

namespace pelvarn::search {

namespace {

struct TToken {
    char Punct = 0;      // ( ) , : & = - + or 0 for a name or a number
    bool Number = false; // a number (or a word starting with a digit)
    std::string Name;    // lower-cased
};

using TStatement = std::vector<TToken>;

// Elements generated for a set at most; a larger list is taken as a size alone.
constexpr std::int64_t MaxListed = 100000;

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '_' || c == '@';
}

// The text's statements as names, numbers and the punctuation that places them; comments,
// descriptions and quoted texts are left out.
bool SplitStatements(const std::string& text, std::vector<TStatement>& statements,
                     std::string& reason) {
    TStatement current;
    std::size_t i = 0;
    auto skipTo = [&](const std::string& close, const char* what) {
        const std::size_t end = text.find(close, i);
        if (end == std::string::npos) {
            reason = std::string("the model file has ") + what + " that does not end";
            return false;
        }
        i = end + close.size();
        return true;
    };
    while (i < text.size()) {
        const char c = text[i];
        if (text.compare(i, 4, "![[!") == 0) {
            // Bracketed comments nest.
            int depth = 0;
            do {
                const std::size_t open = text.find("![[!", i);
                const std::size_t close = text.find("!]]!", i);
                if (close == std::string::npos) {
                    reason = "the model file has a comment that does not end";
                    return false;
                }
                if (open < close) {
                    ++depth;
                    i = open + 4;
                } else {
                    --depth;
                    i = close + 4;
                }
            } while (depth > 0);
        } else if (c == '!') {
            ++i;
            if (!skipTo("!", "a comment")) return false;
        } else if (c == '#') {
            ++i;
            if (!skipTo("#", "a description")) return false;
        } else if (c == '"') {
            ++i;
            if (!skipTo("\"", "a quoted text")) return false;
        } else if (c == ';') {
            if (!current.empty()) statements.push_back(std::move(current));
            current.clear();
            ++i;
        } else if (c == '(' || c == '[' || c == '{') {
            current.push_back({'(', false, {}});
            ++i;
        } else if (c == ')' || c == ']' || c == '}') {
            current.push_back({')', false, {}});
            ++i;
        } else if (c == ',' || c == ':' || c == '&' || c == '=' || c == '-' || c == '+') {
            current.push_back({c, false, {}});
            ++i;
        } else if (IsNameStart(c)) {
            const std::size_t start = i;
            while (i < text.size() && IsNameChar(text[i]))
                ++i;
            current.push_back({0, false, AsciiLower(text.substr(start, i - start))});
        } else if (c >= '0' && c <= '9') {
            // A number, or a name starting with a digit (an element, never a variable).
            const std::size_t start = i;
            while (i < text.size() && (IsNameChar(text[i]) || text[i] == '.'))
                ++i;
            current.push_back({0, true, AsciiLower(text.substr(start, i - start))});
        } else {
            ++i;
        }
    }
    if (!current.empty()) statements.push_back(std::move(current));
    return true;
}

enum class TKind { None, Set, Variable, Equation, Omit, Other };

TKind KindOf(const std::string& word) {
    static const std::map<std::string, TKind> keywords{
        {"set", TKind::Set},           {"variable", TKind::Variable},
        {"equation", TKind::Equation}, {"omit", TKind::Omit},
        {"coefficient", TKind::Other}, {"formula", TKind::Other},
        {"read", TKind::Other},        {"update", TKind::Other},
        {"write", TKind::Other},       {"assertion", TKind::Other},
        {"zerodivide", TKind::Other},  {"file", TKind::Other},
        {"transfer", TKind::Other},    {"subset", TKind::Other},
        {"mapping", TKind::Other},     {"parameter", TKind::Other},
        {"display", TKind::Other},     {"postsim", TKind::Other},
        {"substitute", TKind::Other},  {"backsolve", TKind::Other},
        {"default", TKind::Other},     {"complementarity", TKind::Other},
        {"ranking", TKind::Other},
    };
    const auto it = keywords.find(word);
    return it == keywords.end() ? TKind::None : it->second;
}

bool IsName(const TStatement& s, std::size_t k) {
    return k < s.size() && s[k].Punct == 0 && !s[k].Number;
}
bool IsWord(const TStatement& s, std::size_t k, const char* word) {
    return IsName(s, k) && s[k].Name == word;
}
bool IsPunct(const TStatement& s, std::size_t k, char p) {
    return k < s.size() && s[k].Punct == p;
}

// The index just after the parenthesised group that starts at k (or s.size()).
std::size_t AfterGroup(const TStatement& s, std::size_t k) {
    int depth = 0;
    for (; k < s.size(); ++k) {
        if (s[k].Punct == '(') ++depth;
        if (s[k].Punct == ')' && --depth == 0) return k + 1;
    }
    return s.size();
}

// A quantifier "(all, i, SET ...)" starts at k.
bool IsQuantifier(const TStatement& s, std::size_t k) {
    return IsPunct(s, k, '(') && IsWord(s, k + 1, "all");
}

// The qualifiers at k (groups that are no quantifiers), as their tokens; k moves past them.
std::vector<TToken> Qualifiers(const TStatement& s, std::size_t& k) {
    std::vector<TToken> tokens;
    while (IsPunct(s, k, '(') && !IsQuantifier(s, k)) {
        const std::size_t end = AfterGroup(s, k);
        tokens.insert(tokens.end(), s.begin() + static_cast<std::ptrdiff_t>(k),
                      s.begin() + static_cast<std::ptrdiff_t>(end));
        k = end;
    }
    return tokens;
}

// Splits a name such as "c12" into its stem and number; false without a number at its end.
bool SplitNumbered(const std::string& name, std::string& stem, std::int64_t& number) {
    std::size_t p = name.size();
    while (p > 0 && name[p - 1] >= '0' && name[p - 1] <= '9')
        --p;
    if (p == name.size() || name.size() - p > 12) return false;
    stem = name.substr(0, p);
    number = std::stoll(name.substr(p));
    return true;
}

struct TSetBuild {
    std::int64_t Size = -1;
    std::int64_t MaxSize = -1;
    bool Listed = false; // Elements holds every element
    std::vector<std::string> Elements;
};

void SetSize(TSetBuild& set, std::int64_t size) {
    set.Size = size;
    set.MaxSize = size;
}

// The element list of a set that starts at k: names, numbers and ranges "c1 - c10".
TSetBuild ElementList(const TStatement& s, std::size_t k) {
    TSetBuild set;
    set.Listed = true;
    std::int64_t count = 0;
    const std::size_t end = AfterGroup(s, k) - 1;
    std::set<std::string> seen;
    for (++k; k < end; ++k) {
        if (s[k].Punct != 0) continue;
        std::string stemA, stemB;
        std::int64_t a = 0, b = 0;
        if (IsPunct(s, k + 1, '-') && k + 2 < end && s[k + 2].Punct == 0 &&
            SplitNumbered(s[k].Name, stemA, a) && SplitNumbered(s[k + 2].Name, stemB, b) &&
            stemA == stemB && a <= b) {
            count += b - a + 1;
            for (std::int64_t n = a; n <= b && set.Listed; ++n) {
                if (static_cast<std::int64_t>(set.Elements.size()) >= MaxListed)
                    set.Listed = false;
                else if (seen.insert(stemA + std::to_string(n)).second)
                    set.Elements.push_back(stemA + std::to_string(n));
            }
            k += 2;
            continue;
        }
        ++count;
        if (set.Listed && seen.insert(s[k].Name).second) set.Elements.push_back(s[k].Name);
    }
    if (!set.Listed) {
        set.Elements.clear();
        SetSize(set, count);
    } else {
        SetSize(set, static_cast<std::int64_t>(set.Elements.size()));
    }
    return set;
}

// A set made from two others: "A union B", "A + B" (disjoint), "A intersect B", "A - B".
TSetBuild Combined(const TSetBuild& a, const TSetBuild& b, const std::string& op) {
    TSetBuild set;
    auto bound = [](const TSetBuild& x) { return x.MaxSize; };
    if (a.Listed && b.Listed) {
        const std::set<std::string> inB(b.Elements.begin(), b.Elements.end());
        set.Listed = true;
        if (op == "union" || op == "+") {
            set.Elements = a.Elements;
            const std::set<std::string> inA(a.Elements.begin(), a.Elements.end());
            for (const std::string& e : b.Elements)
                if (!inA.count(e)) set.Elements.push_back(e);
        } else {
            const bool keep = op == "intersect";
            for (const std::string& e : a.Elements)
                if (static_cast<bool>(inB.count(e)) == keep) set.Elements.push_back(e);
        }
        SetSize(set, static_cast<std::int64_t>(set.Elements.size()));
        return set;
    }
    if (op == "+" && a.Size >= 0 && b.Size >= 0) {
        SetSize(set, a.Size + b.Size);
    } else if (op == "union" || op == "+") {
        if (bound(a) >= 0 && bound(b) >= 0) set.MaxSize = bound(a) + bound(b);
    } else if (op == "intersect") {
        if (bound(a) >= 0 && bound(b) >= 0)
            set.MaxSize = std::min(bound(a), bound(b));
        else
            set.MaxSize = std::max(bound(a), bound(b));
    } else {
        set.MaxSize = bound(a);
    }
    return set;
}

struct TReader {
    std::map<std::string, std::size_t> SetIndex, Vars, Eqs;
    std::vector<TSetBuild> SetBuilds;
    std::vector<TStructureSet> Sets;
    std::vector<TStructureItem> VarItems;
    std::vector<std::vector<std::size_t>> EqNames; // per equation: indices of named variables
    std::vector<TStructureItem> EqItems;
    std::vector<std::pair<std::string, std::size_t>> Aliases; // change variables of levels ones
    std::set<std::string> Omitted;
    std::string Reason;

    const TSetBuild* FindSet(const std::string& name) const {
        const auto it = SetIndex.find(name);
        return it == SetIndex.end() ? nullptr : &SetBuilds[it->second];
    }

    // The quantifiers from k on ("(all,i,SET)" groups, possibly with conditions): their sets
    // are added to sets and their indices to indices; k moves past them.
    void ReadQuantifiers(const TStatement& s, std::size_t& k, std::vector<std::size_t>& sets,
                         std::set<std::string>& indices) const {
        while (IsQuantifier(s, k)) {
            if (IsName(s, k + 3) && IsPunct(s, k + 4, ',')) {
                indices.insert(s[k + 3].Name);
                const auto it = SetIndex.find(IsName(s, k + 5) ? s[k + 5].Name : "");
                if (it != SetIndex.end()) sets.push_back(it->second);
            }
            k = AfterGroup(s, k);
        }
    }

    void AddSet(const TStatement& s, std::size_t k) {
        Qualifiers(s, k);
        if (!IsName(s, k)) return;
        const std::string name = s[k++].Name;
        TSetBuild set;
        if (IsPunct(s, k, '(')) {
            set = ElementList(s, k);
        } else if (IsPunct(s, k, '=')) {
            ++k;
            if (IsQuantifier(s, k)) {
                // A subset by a condition: at most its parent set.
                const TSetBuild* parent = IsName(s, k + 5) ? FindSet(s[k + 5].Name) : nullptr;
                if (parent) set.MaxSize = parent->MaxSize;
            } else if (IsPunct(s, k, '(')) {
                set = ElementList(s, k);
            } else if (IsName(s, k)) {
                const TSetBuild* a = FindSet(s[k].Name);
                std::string op = k + 1 < s.size() ? (s[k + 1].Punct ? std::string(1, s[k + 1].Punct)
                                                                    : s[k + 1].Name)
                                                  : "";
                const TSetBuild* b = IsName(s, k + 2) ? FindSet(s[k + 2].Name) : nullptr;
                if (op == "minus") op = "-";
                if (a && b && k + 3 == s.size() &&
                    (op == "union" || op == "+" || op == "intersect" || op == "-"))
                    set = Combined(*a, *b, op);
                else if (a && k + 1 == s.size())
                    set = *a;
            }
        } else {
            // "size N", "maximum size N", "read elements from file ...".
            for (std::size_t j = k; j + 1 < s.size(); ++j) {
                if (!IsWord(s, j, "size") || !s[j + 1].Number) continue;
                const std::int64_t n = std::strtoll(s[j + 1].Name.c_str(), nullptr, 10);
                if (n < 0) continue;
                if (j > k && IsWord(s, j - 1, "maximum"))
                    set.MaxSize = n;
                else
                    SetSize(set, n);
            }
            if (set.Size >= 0 && std::any_of(s.begin(), s.end(), [](const TToken& t) {
                    return t.Punct == 0 && t.Name == "read";
                }))
                set.Size = -1; // a size is only a bound when the elements are read
        }
        if (SetIndex.emplace(name, Sets.size()).second) {
            Sets.push_back({name, set.Size, set.MaxSize});
            SetBuilds.push_back(std::move(set));
        }
    }

    void AddVariables(const TStatement& s, std::size_t k) {
        const std::vector<TToken> qualifiers = Qualifiers(s, k);
        bool levels = false, change = false;
        std::string linearName;
        for (std::size_t q = 0; q < qualifiers.size(); ++q) {
            const std::string& w = qualifiers[q].Name;
            levels = levels || w == "levels";
            change = change || w == "change";
            if ((w == "linear_name" || w == "linear_var") && q + 2 < qualifiers.size() &&
                qualifiers[q + 1].Punct == '=')
                linearName = qualifiers[q + 2].Name;
        }
        // Declarations separated by commas at the outer level, each with its quantifiers.
        while (k < s.size()) {
            std::vector<std::size_t> sets;
            std::set<std::string> indices;
            ReadQuantifiers(s, k, sets, indices);
            if (!IsName(s, k)) break;
            const std::string name = s[k++].Name;
            if (Vars.emplace(name, VarItems.size()).second) {
                VarItems.push_back({name, sets});
                if (!linearName.empty())
                    Aliases.emplace_back(linearName, Vars[name]);
                else if (levels)
                    Aliases.emplace_back((change ? "c_" : "p_") + name, Vars[name]);
            }
            while (k < s.size() && !IsPunct(s, k, ','))
                k = IsPunct(s, k, '(') ? AfterGroup(s, k) : k + 1;
            ++k;
        }
    }

    // Equations hold variables declared anywhere in the file, so their texts are kept as
    // the names they use and resolved once every declaration is known.
    bool AddEquation(const TStatement& s, std::size_t k,
                     std::vector<std::vector<std::string>>& texts) {
        Qualifiers(s, k);
        TStructureItem item;
        std::set<std::string> indices;
        ReadQuantifiers(s, k, item.Sets, indices); // seldom before the name, mostly after it
        if (!IsName(s, k)) return true;
        item.Name = s[k++].Name;
        if (!Eqs.emplace(item.Name, EqItems.size()).second) {
            Reason = "the model file declares equation " + item.Name + " twice";
            return false;
        }
        ReadQuantifiers(s, k, item.Sets, indices);
        std::vector<std::string> used;
        for (std::size_t j = k; j < s.size(); ++j) {
            if (!IsName(s, j)) continue;
            // Indices bound in the text: "sum(i, SET, ...)" and the like, "(all, i, SET ...)".
            const std::string& w = s[j].Name;
            if (IsPunct(s, j + 1, '(') && IsName(s, j + 2) && IsPunct(s, j + 3, ',') &&
                (w == "sum" || w == "prod" || w == "maxs" || w == "mins")) {
                indices.insert(s[j + 2].Name);
                j += 3;
            } else if (w == "all" && IsPunct(s, j + 1, ',') && IsName(s, j + 2)) {
                indices.insert(s[j + 2].Name);
                j += 2;
            } else {
                used.push_back(w);
            }
        }
        std::vector<std::string> held;
        for (const std::string& u : used)
            if (!indices.count(u)) held.push_back(u);
        texts.push_back(std::move(held));
        EqItems.push_back(std::move(item));
        return true;
    }

    bool Read(const std::vector<TStatement>& statements,
              std::vector<std::vector<std::string>>& eqTexts) {
        TKind carried = TKind::None;
        for (const TStatement& s : statements) {
            std::size_t k = 0;
            TKind kind = carried;
            if (IsName(s, 0)) {
                const TKind keyword = KindOf(s[0].Name);
                if (keyword != TKind::None) {
                    kind = keyword;
                    k = 1;
                    // "Formula & Equation" declares an equation as well as a formula.
                    if (s[0].Name == "formula") {
                        std::size_t j = 1;
                        Qualifiers(s, j);
                        if (IsPunct(s, j, '&') && IsWord(s, j + 1, "equation")) {
                            kind = TKind::Equation;
                            k = j + 2;
                        }
                    }
                }
            }
            carried = kind;
            switch (kind) {
            case TKind::Set:
                AddSet(s, k);
                break;
            case TKind::Variable:
                AddVariables(s, k);
                break;
            case TKind::Equation:
                if (!AddEquation(s, k, eqTexts)) return false;
                break;
            case TKind::Omit:
                for (std::size_t j = k; j < s.size(); ++j)
                    if (IsName(s, j)) Omitted.insert(s[j].Name);
                break;
            default:
                break;
            }
        }
        for (const auto& [alias, v] : Aliases)
            Vars.emplace(alias, v);
        return true;
    }
};

std::uint64_t Mix(std::uint64_t h, std::uint64_t x) {
    // splitmix64's finaliser over the running value and the next word.
    std::uint64_t z = h ^ (x + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

std::string Hex(std::uint64_t v) {
    static const char digits[] = "0123456789abcdef";
    std::string s(16, '0');
    for (int k = 15; k >= 0; --k, v >>= 4)
        s[static_cast<std::size_t>(k)] = digits[v & 15];
    return s;
}

} // namespace

bool TModelStructure::Parse(const std::string& text,
                            const std::vector<std::pair<std::string, std::string>>& records,
                            std::string& reason) {
    std::vector<TStatement> statements;
    if (!SplitStatements(text, statements, reason)) return false;
    TReader reader;
    std::vector<std::vector<std::string>> eqTexts;
    if (!reader.Read(statements, eqTexts)) {
        reason = reader.Reason;
        return false;
    }
    SetList = std::move(reader.Sets);
    VarList = std::move(reader.VarItems);
    EqList = std::move(reader.EqItems);
    Words = (VarList.size() + 63) / 64;
    HoldBits.assign(EqList.size() * Words, 0);
    std::vector<char> omitted(VarList.size(), 0);
    for (const std::string& name : reader.Omitted) {
        const auto v = reader.Vars.find(name);
        if (v != reader.Vars.end()) omitted[v->second] = 1;
    }
    for (std::size_t e = 0; e < EqList.size(); ++e)
        for (const std::string& name : eqTexts[e]) {
            const auto v = reader.Vars.find(name);
            if (v != reader.Vars.end() && !omitted[v->second])
                HoldBits[e * Words + v->second / 64] |= std::uint64_t{1} << (v->second % 64);
        }
    RecordItems.clear();
    for (const auto& [varName, eqName] : records) {
        const auto v = reader.Vars.find(AsciiLower(varName));
        const auto e = reader.Eqs.find(AsciiLower(eqName));
        if (v == reader.Vars.end() || e == reader.Eqs.end()) {
            reason = "the model file does not declare " +
                     (v == reader.Vars.end() ? "variable " + varName : "equation " + eqName);
            return false;
        }
        if (!Holds(e->second, v->second) && !omitted[v->second]) {
            reason = "in the model file, equation " + eqName + " does not hold " + varName;
            return false;
        }
        RecordItems.emplace_back(v->second, e->second);
    }
    return true;
}

bool TModelStructure::Holds(std::size_t equation, std::size_t variable) const {
    return (HoldBits[equation * Words + variable / 64] >> (variable % 64)) & 1;
}

std::vector<std::size_t> TModelStructure::VariablesOf(std::size_t equation) const {
    std::vector<std::size_t> vars;
    for (std::size_t v = 0; v < VarList.size(); ++v)
        if (Holds(equation, v)) vars.push_back(v);
    return vars;
}

double TModelStructure::SizeOf(const TStructureItem& item) const {
    double size = 1;
    for (std::size_t s : item.Sets) {
        if (SetList[s].Size < 0) return -1;
        size *= static_cast<double>(SetList[s].Size);
    }
    return size;
}

double TModelStructure::MaxSizeOf(const TStructureItem& item) const {
    double size = 1;
    for (std::size_t s : item.Sets) {
        if (SetList[s].MaxSize < 0) return -1;
        size *= static_cast<double>(SetList[s].MaxSize);
    }
    return size;
}

bool TModelStructure::Eliminate(std::vector<std::uint64_t>& holds, std::vector<char>& used,
                                std::int32_t record, std::int32_t stat,
                                TSignature& signature) const {
    // The record's signature: its kind, its equation as it stands when it is used, and the
    // equations it rewrites; a record left alone keeps a signature of zero.
    const auto [v, e] = RecordItems[static_cast<std::size_t>(record - 1)];
    const std::uint64_t bit = std::uint64_t{1} << (v % 64);
    const std::size_t word = v / 64;
    std::uint64_t* own = holds.data() + e * Words;
    if (used[e] || !(own[word] & bit)) return false;
    std::uint64_t a = Mix(1, static_cast<std::uint64_t>(stat)), b = Mix(2, a);
    for (std::size_t k = 0; k < Words; ++k) {
        a = Mix(a, own[k]);
        b = Mix(b, ~own[k]);
    }
    for (std::size_t f = 0; f < EqList.size(); ++f) {
        std::uint64_t* row = holds.data() + f * Words;
        if (!(row[word] & bit) || used[f] || f == e) continue;
        a = Mix(a, f + 1);
        b = Mix(b, ~(f + 1));
        for (std::size_t k = 0; k < Words; ++k)
            row[k] |= own[k];
        row[word] &= ~bit;
    }
    used[e] = 1;
    signature = {a, b};
    return true;
}

std::string TModelStructure::KeyOf(const std::vector<TSignature>& signatures) {
    std::uint64_t a = 3, b = 4;
    for (const auto& [x, y] : signatures) {
        a = Mix(a, x);
        b = Mix(b, y);
    }
    return "e" + Hex(a) + Hex(b);
}

std::string TModelStructure::EliminationKey(const std::vector<std::int32_t>& stat,
                                            const std::vector<std::int32_t>& order) const {
    if (stat.size() != RecordItems.size()) return {};
    std::vector<std::uint64_t> holds = HoldBits;
    std::vector<char> used(EqList.size(), 0);
    std::vector<TSignature> signature(stat.size(), {0, 0});
    for (std::int32_t r : order) {
        if (r < 1 || static_cast<std::size_t>(r) > stat.size()) continue;
        const std::int32_t s = stat[static_cast<std::size_t>(r - 1)];
        if (s == notsub) continue;
        if (!Eliminate(holds, used, r, s, signature[static_cast<std::size_t>(r - 1)])) return {};
    }
    return KeyOf(signature);
}

bool DifferingPlaces(const std::vector<std::int32_t>& stat, const std::vector<std::int32_t>& order,
                     const std::vector<std::int32_t>& baseStat,
                     const std::vector<std::int32_t>& baseOrder, std::size_t& first,
                     std::size_t& last) {
    const std::size_t n = std::min(stat.size(), baseStat.size());
    bool any = false;
    for (std::size_t p = 0; p < order.size() && p < baseOrder.size(); ++p) {
        const std::int32_t r = order[p];
        const bool valid = r >= 1 && static_cast<std::size_t>(r) <= n;
        if (r != baseOrder[p] || (valid && stat[static_cast<std::size_t>(r - 1)] !=
                                               baseStat[static_cast<std::size_t>(r - 1)])) {
            if (!any) first = p;
            last = p;
            any = true;
        }
    }
    return any;
}

void TEliminationTrace::Reset(const TModelStructure& structure,
                              const std::vector<std::int32_t>& stat,
                              const std::vector<std::int32_t>& order) {
    Structure = &structure;
    BaseStat = stat;
    BaseOrder = order;
    KeptHolds.clear();
    KeptUsed.clear();
    Signatures.assign(stat.size(), {0, 0});
    Failed = stat.size() != structure.RecordItems.size();
    if (Failed) return;
    std::vector<std::uint64_t> holds = structure.HoldBits;
    std::vector<char> used(structure.EqList.size(), 0);
    for (std::size_t p = 0; p < order.size() && !Failed; ++p) {
        if (p % Every == 0) {
            KeptHolds.insert(KeptHolds.end(), holds.begin(), holds.end());
            KeptUsed.insert(KeptUsed.end(), used.begin(), used.end());
        }
        const std::int32_t r = order[p];
        if (r < 1 || static_cast<std::size_t>(r) > stat.size()) continue;
        const std::int32_t s = stat[static_cast<std::size_t>(r - 1)];
        if (s != notsub)
            Failed = !structure.Eliminate(holds, used, r, s,
                                          Signatures[static_cast<std::size_t>(r - 1)]);
    }
    BaseKey = Failed ? std::string() : TModelStructure::KeyOf(Signatures);
}

std::string TEliminationTrace::Key(const std::vector<std::int32_t>& stat,
                                   const std::vector<std::int32_t>& order) const {
    if (!Structure) return {};
    if (Failed || stat.size() != BaseStat.size() || order.size() != BaseOrder.size())
        return Structure->EliminationKey(stat, order);
    const std::size_t n = stat.size();
    auto valid = [n](std::int32_t r) { return r >= 1 && static_cast<std::size_t>(r) <= n; };
    std::size_t first = 0, last = 0;
    const bool any = DifferingPlaces(stat, order, BaseStat, BaseOrder, first, last);
    // A record whose status changed but whose place did not is found above; one that is not
    // in the order at all cannot be, so such a candidate is worked out in full.
    if (!any) return stat == BaseStat ? BaseKey : Structure->EliminationKey(stat, order);
    const std::size_t width = Structure->HoldBits.size(), equations = Structure->EqList.size();
    std::size_t p = first / Every * Every;
    std::vector<std::uint64_t> holds(
        KeptHolds.begin() + static_cast<std::ptrdiff_t>(p / Every * width),
        KeptHolds.begin() + static_cast<std::ptrdiff_t>((p / Every + 1) * width));
    std::vector<char> used(KeptUsed.begin() + static_cast<std::ptrdiff_t>(p / Every * equations),
                           KeptUsed.begin() +
                               static_cast<std::ptrdiff_t>((p / Every + 1) * equations));
    std::vector<TModelStructure::TSignature> signatures = Signatures;
    for (; p < order.size(); ++p) {
        if (p > last && p % Every == 0) {
            // Past every difference: once the system is the base's again, so is the rest.
            const std::size_t k = p / Every;
            if (std::equal(holds.begin(), holds.end(),
                           KeptHolds.begin() + static_cast<std::ptrdiff_t>(k * width)) &&
                std::equal(used.begin(), used.end(),
                           KeptUsed.begin() + static_cast<std::ptrdiff_t>(k * equations)))
                break;
        }
        const std::int32_t r = order[p];
        if (!valid(r)) continue;
        auto& signature = signatures[static_cast<std::size_t>(r - 1)];
        const std::int32_t s = stat[static_cast<std::size_t>(r - 1)];
        signature = {0, 0};
        if (s != notsub && !Structure->Eliminate(holds, used, r, s, signature)) return {};
    }
    return TModelStructure::KeyOf(signatures);
}

namespace {

// The files a word of initial.sti may name in the job folder: the file of that name, or,
// for a name without an extension, the files of that stem (the translator adds one).
std::vector<std::string> ModelFilesNamed(const std::string& folder, const std::string& word) {
    if (FileExists(JoinPath(folder, word))) return {word};
    std::vector<std::string> files;
    if (word.find_first_of("./\\:") != std::string::npos) return files;
    const std::string stem = AsciiLower(word) + ".";
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (AsciiLower(name).rfind(stem, 0) == 0 && AsciiLower(name) != "initial.sti")
            files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

bool ReadModelStructure(const std::string& folder, const std::string& initial,
                        const TSubInfo& records, std::int32_t count, TModelStructure& structure,
                        std::string& reason) {
    std::string text;
    if (!ReadWholeFile(initial, text, reason)) return false;
    std::vector<std::string> files;
    std::size_t start = 0;
    while (files.empty() && start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        line = Trim(line.substr(0, line.find('!')));
        const std::string word = line.substr(0, line.find_first_of(" \t"));
        if (!word.empty() && AsciiLower(word) != "initial.sti")
            files = ModelFilesNamed(folder, word);
    }
    if (files.empty()) {
        reason = "initial.sti names no model file in the job folder";
        return false;
    }
    std::vector<std::pair<std::string, std::string>> items;
    for (std::int32_t i = 1; i <= count; ++i)
        items.emplace_back(records[static_cast<std::size_t>(i)].VarName,
                           records[static_cast<std::size_t>(i)].EqName);
    std::string firstReason;
    for (const std::string& file : files) {
        std::string modelText, why;
        if (ReadWholeFile(JoinPath(folder, file), modelText, why) &&
            structure.Parse(modelText, items, why))
            return true;
        if (firstReason.empty()) firstReason = file + ": " + why;
    }
    reason = firstReason;
    return false;
}

} // namespace pelvarn::search
