#include "sim/ksxmodel.h"

#include <algorithm>
#include <unordered_map>

#include "base/textutil.h"
#include "sti/txtfile.h"

namespace pelvarn::sim {

namespace {

enum class TTokKind { Ident, Number, Punct };

struct TToken {
    TTokKind Kind;
    std::string Text;
    int Line;
};

bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9') || c == '@';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Splits the text into statements of tokens, leaving out comments and descriptions.
bool Tokenize(const std::string& text, std::vector<std::vector<TToken>>& statements,
              std::vector<int>& endLines, std::string& msg) {
    std::vector<TToken> current;
    int line = 1;
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto advanceTo = [&](std::size_t to) {
        for (; i < to && i < n; ++i)
            if (text[i] == '\n') ++line;
    };
    while (i < n) {
        char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (static_cast<unsigned char>(c) <= 32) {
            ++i;
        } else if (text.compare(i, 4, "![[!") == 0) {
            int openLine = line;
            int depth = 0;
            std::size_t j = i;
            for (;;) {
                std::size_t open = text.find("![[!", j);
                std::size_t close = text.find("!]]!", j);
                if (close == std::string::npos) {
                    msg = "The comment opened by \"![[!\" on line " + std::to_string(openLine) +
                          " is not closed";
                    return false;
                }
                if (open != std::string::npos && open < close) {
                    ++depth;
                    j = open + 4;
                } else {
                    --depth;
                    j = close + 4;
                    if (depth == 0) break;
                }
            }
            advanceTo(j);
        } else if (c == '!') {
            std::size_t close = text.find('!', i + 1);
            if (close == std::string::npos) {
                msg = "The comment opened by \"!\" on line " + std::to_string(line) +
                      " is not closed";
                return false;
            }
            advanceTo(close + 1);
        } else if (c == '#') {
            std::size_t close = text.find('#', i + 1);
            if (close == std::string::npos) {
                msg = "The description opened by \"#\" on line " + std::to_string(line) +
                      " is not closed";
                return false;
            }
            advanceTo(close + 1);
        } else if (c == ';') {
            statements.push_back(std::move(current));
            endLines.push_back(line);
            current.clear();
            ++i;
        } else if (IsIdentStart(c)) {
            std::size_t j = i;
            while (j < n && IsIdentChar(text[j]))
                ++j;
            current.push_back({TTokKind::Ident, text.substr(i, j - i), line});
            i = j;
        } else if (IsDigit(c)) {
            std::size_t j = i;
            while (j < n && (IsDigit(text[j]) || text[j] == '.'))
                ++j;
            current.push_back({TTokKind::Number, text.substr(i, j - i), line});
            i = j;
        } else {
            current.push_back({TTokKind::Punct, std::string(1, c), line});
            ++i;
        }
    }
    if (!current.empty()) {
        msg = "The statement that starts on line " + std::to_string(current.front().Line) +
              " does not end with \";\"";
        return false;
    }
    return true;
}

class TParser {
  public:
    TParser(TKsxModel& model, std::string& msg) : Model(model), Msg(msg) {}

    bool Statement(const std::vector<TToken>& toks) {
        Toks = &toks;
        Pos = 0;
        if (toks.empty()) return true; // a lone ";"
        const TToken& head = toks[0];
        if (head.Kind != TTokKind::Ident)
            return Fail(head, "a statement must start with a keyword");
        std::string kw = AsciiLower(head.Text);
        Pos = 1;
        if (kw == "set") return SetStatement();
        if (kw == "variable") return VarStatement(true);
        if (kw == "coefficient" || kw == "parameter") return VarStatement(false);
        if (kw == "equation") return EqStatement();
        if (kw == "substitute" || kw == "backsolve") return CondenseStatement(kw == "backsolve");
        static const char* const ignored[] = {"file",       "read",    "formula",
                                              "update",     "write",   "assertion",
                                              "zerodivide", "mapping", "transfer"};
        for (const char* k : ignored)
            if (kw == k) return true;
        return Fail(head, "unknown statement \"" + head.Text + "\"");
    }

    bool Finish() {
        for (const TModelStatement& s : Model.Statements) {
            const char* what = s.Backsolve ? "Backsolve" : "Substitute";
            int v = Model.FindVar(s.VarName);
            if (v < 0)
                return FailLine(s.Line,
                                std::string(what) + " names the unknown variable " + s.VarName);
            int e = Model.FindEq(s.EqName);
            if (e < 0)
                return FailLine(s.Line,
                                std::string(what) + " names the unknown equation " + s.EqName);
        }
        return true;
    }

  private:
    const TToken* Peek() const { return Pos < Toks->size() ? &(*Toks)[Pos] : nullptr; }
    bool AtEnd() const { return Pos >= Toks->size(); }
    int LineHere() const { return Pos < Toks->size() ? (*Toks)[Pos].Line : Toks->back().Line; }

    bool Fail(const TToken& at, const std::string& what) { return FailLine(at.Line, what); }
    bool FailLine(int line, const std::string& what) {
        Msg = "Model file, line " + std::to_string(line) + ": " + what;
        return false;
    }
    bool FailHere(const std::string& what) { return FailLine(LineHere(), what); }

    bool IsPunct(const char* p) const {
        const TToken* t = Peek();
        return t && t->Kind == TTokKind::Punct && t->Text == p;
    }
    bool IsKeyword(const char* k) const {
        const TToken* t = Peek();
        return t && t->Kind == TTokKind::Ident && AsciiLower(t->Text) == k;
    }
    bool TakeIdent(std::string& out, const char* what) {
        const TToken* t = Peek();
        if (!t || t->Kind != TTokKind::Ident) return FailHere("expected " + std::string(what));
        out = t->Text;
        ++Pos;
        return true;
    }
    bool Expect(const char* p) {
        if (!IsPunct(p)) return FailHere(std::string("expected \"") + p + "\"");
        ++Pos;
        return true;
    }
    // Skips a parenthesised group with its nested groups.
    bool SkipGroup() {
        int depth = 0;
        do {
            if (AtEnd()) return FailHere("unbalanced \"(\"");
            if (IsPunct("(")) ++depth;
            if (IsPunct(")")) --depth;
            ++Pos;
        } while (depth > 0);
        return true;
    }
    bool GroupStartsWithAll() const {
        if (!IsPunct("(") || Pos + 2 >= Toks->size()) return false;
        const TToken& t = (*Toks)[Pos + 1];
        return t.Kind == TTokKind::Ident && AsciiLower(t.Text) == "all";
    }
    // Reads "(all,i,SET)" quantifiers (and, where allowed, other qualifier groups).
    bool Quantifiers(std::vector<int>& sets, double& size, bool allowQualifiers) {
        size = 1;
        while (IsPunct("(")) {
            if (!GroupStartsWithAll()) {
                if (!allowQualifiers) return true;
                if (!SkipGroup()) return false;
                continue;
            }
            Pos += 2; // "(" "all"
            std::string index, setName;
            if (!Expect(",") || !TakeIdent(index, "an index name") || !Expect(",")) return false;
            int line = LineHere();
            if (!TakeIdent(setName, "a set name")) return false;
            int s = Model.FindSet(setName);
            if (s < 0) return FailLine(line, "unknown set " + setName);
            if (!Expect(")")) return false;
            sets.push_back(s);
            size *= static_cast<double>(Model.Sets[s].Size);
            if (size > MaxItemSize)
                return FailLine(line, "the quantifiers give more than 1e9 elements");
        }
        return true;
    }
    bool Declare(const std::string& name, int line) {
        std::string key = AsciiLower(name);
        auto it = Declared.find(key);
        if (it != Declared.end())
            return FailLine(line,
                            name + " is already declared on line " + std::to_string(it->second));
        Declared.emplace(key, line);
        return true;
    }

    bool SetStatement() {
        int line = LineHere();
        std::string name;
        while (IsPunct("(")) // qualifiers such as (intertemporal)
            if (!SkipGroup()) return false;
        if (!TakeIdent(name, "a set name") || !Declare(name, line)) return false;
        TModelSet set{name, 0};
        if (IsKeyword("size")) {
            ++Pos;
            const TToken* t = Peek();
            if (!t || t->Kind != TTokKind::Number || t->Text.find('.') != std::string::npos)
                return FailHere("expected a whole number after \"size\"");
            if (t->Text.size() > 7 || std::stoll(t->Text) < 1 || std::stoll(t->Text) > MaxSetSize)
                return FailHere("the size of set " + name + " must be 1 to 1000000");
            set.Size = std::stoll(t->Text);
            ++Pos;
        } else if (IsPunct("(")) {
            ++Pos;
            for (;;) {
                const TToken* t = Peek();
                if (!t || t->Kind == TTokKind::Punct) return FailHere("expected an element name");
                ++set.Size;
                ++Pos;
                if (IsPunct(")")) break;
                if (!Expect(",")) return false;
            }
            ++Pos;
        } else {
            return FailHere("expected \"size\" or a list of elements for set " + name);
        }
        if (!AtEnd()) return FailHere("unexpected text after the set " + name);
        Model.Sets.push_back(set);
        return true;
    }

    bool VarStatement(bool isVariable) {
        TModelVar var;
        if (!Quantifiers(var.Sets, var.Size, true)) return false;
        int line = LineHere();
        if (!TakeIdent(var.Name, isVariable ? "a variable name" : "a coefficient name") ||
            !Declare(var.Name, line))
            return false;
        if (IsPunct("(") && !SkipGroup()) return false;
        if (!AtEnd()) return FailHere("unexpected text after " + var.Name);
        if (!isVariable) return true;
        Model.Vars.push_back(std::move(var));
        VarIndex.emplace(AsciiLower(Model.Vars.back().Name),
                         static_cast<int>(Model.Vars.size()) - 1);
        return true;
    }

    bool EqStatement() {
        TModelEq eq;
        int line = LineHere();
        if (!TakeIdent(eq.Name, "an equation name") || !Declare(eq.Name, line)) return false;
        if (!Quantifiers(eq.Sets, eq.Size, false)) return false;
        if (AtEnd()) return FailLine(line, "equation " + eq.Name + " has no text");
        for (; Pos < Toks->size(); ++Pos) {
            const TToken& t = (*Toks)[Pos];
            if (t.Kind != TTokKind::Ident) continue;
            auto it = VarIndex.find(AsciiLower(t.Text));
            if (it != VarIndex.end()) eq.Vars.push_back(it->second);
        }
        std::sort(eq.Vars.begin(), eq.Vars.end());
        eq.Vars.erase(std::unique(eq.Vars.begin(), eq.Vars.end()), eq.Vars.end());
        Model.Eqs.push_back(std::move(eq));
        return true;
    }

    bool CondenseStatement(bool backsolve) {
        TModelStatement s;
        s.Backsolve = backsolve;
        s.Line = LineHere();
        if (!TakeIdent(s.VarName, "a variable name")) return false;
        if (!IsKeyword("using")) return FailHere("expected \"using\"");
        ++Pos;
        if (!TakeIdent(s.EqName, "an equation name")) return false;
        if (!AtEnd()) return FailHere("unexpected text after the equation name");
        Model.Statements.push_back(std::move(s));
        return true;
    }

    TKsxModel& Model;
    std::string& Msg;
    const std::vector<TToken>* Toks = nullptr;
    std::size_t Pos = 0;
    std::unordered_map<std::string, int> Declared;
    std::unordered_map<std::string, int> VarIndex;
};

int FindByName(const auto& items, const std::string& name) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (AsciiEqualNoCase(items[i].Name, name)) return static_cast<int>(i);
    return -1;
}

} // namespace

int TKsxModel::FindSet(const std::string& name) const {
    return FindByName(Sets, name);
}
int TKsxModel::FindVar(const std::string& name) const {
    return FindByName(Vars, name);
}
int TKsxModel::FindEq(const std::string& name) const {
    return FindByName(Eqs, name);
}

bool ParseKsxModel(const std::string& text, TKsxModel& model, std::string& msg) {
    model = TKsxModel{};
    msg.clear();
    std::vector<std::vector<TToken>> statements;
    std::vector<int> endLines;
    if (!Tokenize(text, statements, endLines, msg)) return false;
    TParser parser(model, msg);
    for (const auto& s : statements)
        if (!parser.Statement(s)) return false;
    return parser.Finish();
}

bool ReadKsxModel(const std::string& fileName, TKsxModel& model, std::string& msg) {
    TTextFile file;
    std::string sysMsg;
    if (!file.TryOpen(fileName, sysMsg)) {
        msg = "Cannot open model file " + fileName + ": " + sysMsg;
        return false;
    }
    std::string text, line;
    try {
        while (file.ReadLine(line))
            text += line + "\n";
    } catch (const std::exception& e) {
        msg = "Cannot read model file " + fileName + ": " + e.what();
        return false;
    }
    file.Close();
    return ParseKsxModel(text, model, msg);
}

} // namespace pelvarn::sim
