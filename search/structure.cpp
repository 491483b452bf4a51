#include "search/structure.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "base/paths.h"
#include "base/textutil.h"
#include "platform/fileio.h"
#include "sti/subrecord.h"

namespace pelvarn::search {

namespace {

struct TToken {
    char Punct = 0;   // '(' ')' ',' or 0 for a name
    std::string Name; // lower-cased
};

using TStatement = std::vector<TToken>;

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '_' || c == '@';
}

// The text's statements as names and the punctuation that places them; comments,
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
        } else if (c == '(' || c == ')' || c == ',' || c == '[' || c == ']' || c == '{' ||
                   c == '}') {
            const char p = c == '[' || c == '{' ? '(' : c == ']' || c == '}' ? ')' : c;
            current.push_back({p, {}});
            ++i;
        } else if (IsNameStart(c)) {
            const std::size_t start = i;
            while (i < text.size() && IsNameChar(text[i]))
                ++i;
            current.push_back({0, AsciiLower(text.substr(start, i - start))});
        } else if (c >= '0' && c <= '9') {
            while (i < text.size() && (IsNameChar(text[i]) || text[i] == '.'))
                ++i; // a number, or a name starting with a digit: neither is a variable
        } else {
            ++i;
        }
    }
    if (!current.empty()) statements.push_back(std::move(current));
    return true;
}

// The names at the statement's outer level after its keyword: the first, and each one after
// a comma at that level.
std::vector<std::string> DeclaredNames(const TStatement& s) {
    std::vector<std::string> names;
    int depth = 0;
    bool expectName = true;
    for (std::size_t k = 1; k < s.size(); ++k) {
        const TToken& t = s[k];
        if (t.Punct == '(') {
            ++depth;
        } else if (t.Punct == ')') {
            --depth;
        } else if (depth == 0 && t.Punct == ',') {
            expectName = true;
        } else if (depth == 0 && t.Punct == 0 && expectName) {
            names.push_back(t.Name);
            expectName = false;
        }
    }
    return names;
}

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
    std::map<std::string, std::size_t> vars, eqs;
    for (const TStatement& s : statements)
        if (s[0].Punct == 0 && s[0].Name == "variable")
            for (const std::string& name : DeclaredNames(s))
                vars.emplace(name, vars.size());
    VarCount = vars.size();
    Words = (VarCount + 63) / 64;
    Holds.clear();
    for (const TStatement& s : statements) {
        if (s[0].Punct != 0 || s[0].Name != "equation") continue;
        const std::vector<std::string> names = DeclaredNames(s);
        if (names.empty()) continue;
        if (!eqs.emplace(names[0], Holds.size()).second) {
            reason = "the model file declares equation " + names[0] + " twice";
            return false;
        }
        std::vector<std::uint64_t> held(Words, 0);
        bool named = false;
        for (std::size_t k = 1; k < s.size(); ++k) {
            if (s[k].Punct != 0) continue;
            if (!named && s[k].Name == names[0]) {
                named = true;
                continue;
            }
            const auto v = vars.find(s[k].Name);
            if (v != vars.end()) held[v->second / 64] |= std::uint64_t{1} << (v->second % 64);
        }
        Holds.push_back(std::move(held));
    }
    RecordItems.clear();
    for (const auto& [varName, eqName] : records) {
        const auto v = vars.find(AsciiLower(varName));
        const auto e = eqs.find(AsciiLower(eqName));
        if (v == vars.end() || e == eqs.end()) {
            reason = "the model file does not declare " +
                     (v == vars.end() ? "variable " + varName : "equation " + eqName);
            return false;
        }
        if (!(Holds[e->second][v->second / 64] >> (v->second % 64) & 1)) {
            reason = "in the model file, equation " + eqName + " does not hold " + varName;
            return false;
        }
        RecordItems.emplace_back(v->second, e->second);
    }
    return true;
}

std::string TModelStructure::EliminationKey(const std::vector<std::int32_t>& stat,
                                            const std::vector<std::int32_t>& order) const {
    if (stat.size() != RecordItems.size()) return {};
    std::vector<std::vector<std::uint64_t>> holds = Holds;
    std::vector<char> used(holds.size(), 0);
    // Each record's signature: its kind, its equation as it stands when it is used, and the
    // equations it rewrites; a record left alone keeps a signature of zero.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> signature(stat.size(), {0, 0});
    for (std::int32_t r : order) {
        if (r < 1 || static_cast<std::size_t>(r) > stat.size()) continue;
        const std::int32_t s = stat[static_cast<std::size_t>(r - 1)];
        if (s == notsub) continue;
        const auto [v, e] = RecordItems[static_cast<std::size_t>(r - 1)];
        const std::uint64_t bit = std::uint64_t{1} << (v % 64);
        if (used[e] || !(holds[e][v / 64] & bit)) return {};
        std::uint64_t a = Mix(1, static_cast<std::uint64_t>(s)), b = Mix(2, a);
        for (std::uint64_t w : holds[e]) {
            a = Mix(a, w);
            b = Mix(b, ~w);
        }
        for (std::size_t f = 0; f < holds.size(); ++f) {
            if (used[f] || f == e || !(holds[f][v / 64] & bit)) continue;
            a = Mix(a, f + 1);
            b = Mix(b, ~(f + 1));
            for (std::size_t k = 0; k < Words; ++k)
                holds[f][k] |= holds[e][k];
            holds[f][v / 64] &= ~bit;
        }
        used[e] = 1;
        signature[static_cast<std::size_t>(r - 1)] = {a, b};
    }
    std::uint64_t a = 3, b = 4;
    for (const auto& [x, y] : signature) {
        a = Mix(a, x);
        b = Mix(b, y);
    }
    return "e" + Hex(a) + Hex(b);
}

namespace {

bool ReadWholeFile(const std::string& path, std::string& text, std::string& reason) {
    TInFile in;
    if (!in.Open(path, reason)) return false;
    char buffer[65536];
    text.clear();
    for (std::size_t n; (n = in.Read(buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    in.Close();
    return true;
}

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
