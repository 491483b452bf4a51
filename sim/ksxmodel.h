// The stand-in suite's model files. A model file reads like the model language:
//
//   ! a comment runs from one "!" to the next, across lines if need be !
//   ![[! a bracketed comment may hold "!" and span lines !]]!
//   Set COM # commodities # size 12;
//   Set SRC (dom, imp);                          ! size from the elements listed !
//   Coefficient (all,c,COM) SHR(c);              ! accepted, not used by the cost model !
//   Variable (all,c,COM)(all,r,REG) p_x(c,r) # export price #;
//   Equation E_p_x (all,c,COM)(all,r,REG) p_x(c,r) = p_d(c,r) + t_x(c,r);
//   Substitute p_x using E_p_x;
//   Backsolve q_d using E_q_d;
//
// Statements end with ";" and keywords are case-insensitive. A set's size comes from
// "size N" or from its element list; a variable's or an equation's size is the product of
// the sizes of the sets in its "(all,i,SET)" quantifiers. An equation contains the declared
// variables that its text names. "# ... #" texts are descriptions. The Substitute and
// Backsolve statements are read and their names checked, but the condensation that the
// stand-in applies is the one of its stored-input file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelvarn::sim {

struct TModelSet {
    std::string Name;
    std::int64_t Size = 0;
};

struct TModelVar {
    std::string Name;
    double Size = 1;
    std::vector<int> Sets; // indices into TKsxModel::Sets, from the quantifiers
};

struct TModelEq {
    std::string Name;
    double Size = 1;
    std::vector<int> Sets;
    std::vector<int> Vars; // indices into TKsxModel::Vars, ascending, each once
};

struct TModelStatement {
    bool Backsolve = false;
    std::string VarName;
    std::string EqName;
    int Line = 0;
};

struct TKsxModel {
    std::vector<TModelSet> Sets;
    std::vector<TModelVar> Vars;
    std::vector<TModelEq> Eqs;
    std::vector<TModelStatement> Statements;

    // Index of a name (ASCII case folded), -1 when not declared.
    int FindSet(const std::string& name) const;
    int FindVar(const std::string& name) const;
    int FindEq(const std::string& name) const;
};

// Largest set size and largest size of a quantified variable or equation accepted.
inline constexpr std::int64_t MaxSetSize = 1000000;
inline constexpr double MaxItemSize = 1e9;

// Parses model text. False with a message naming the line when the text is refused.
bool ParseKsxModel(const std::string& text, TKsxModel& model, std::string& msg);

// Reads a model file (any line ends). False with a message when it cannot be read or parsed.
bool ReadKsxModel(const std::string& fileName, TKsxModel& model, std::string& msg);

} // namespace pelvarn::sim
