// What condensing does to the model's system, worked out from the model file alone.
//
// Eliminating variable v with equation E puts E's other variables into every remaining
// equation that holds v, and takes E and v out. Two condensations in which every record's
// elimination meets the same equation contents (its own equation as it then stands, and the
// equations it rewrites) make the same eliminations and leave the same system: the
// translator and the solver do the same work, so their times are the same. Exchanging two
// eliminations that do not touch each other is such a change, however far apart they are.
//
// The model file is read as the modeller's suite reads it, for its declarations only:
// - a keyword (Set, Variable, Equation, Coefficient, Formula, Read, ...) carries over to the
//   statements that follow until the next keyword;
// - qualifiers in parentheses may follow a keyword: "(linear)", "(levels)", "(ge 0)",
//   "(orig_level = ...)"; a levels variable X is also known by its change variable, p_X
//   (c_X for a "(change)" one, or the name given by "linear_name =" / "linear_var =");
// - "Variable [quantifiers] name[(args)]" declares a variable over the quantifiers' sets;
//   "Equation name [quantifiers] text" and "Formula & Equation name ..." declare an equation,
//   which holds the declared variables its text names (quantifier and sum indices are not
//   variables); "Omit a, b" leaves those variables out of every equation;
// - "Set" gives a size from "size N", from an element list (ranges "c1 - c10" included),
//   "maximum size N" a bound; sets read from data, or made from others (union, "+",
//   intersect, "-", a condition) whose elements are not listed, have no known size;
// - every other statement (Formula, Read, Update, Write, Assertion, Zerodivide, File,
//   Transfer, Subset, Mapping, ...) is passed over;
// - comments ("! ... !", "![[! ... !]]!"), descriptions ("# ... #") and quoted texts (which
//   may hold ";" and "!") are passed over; keywords and names ignore letter case.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sti/subrecord.h"

namespace pelvarn::search {

// A set of the model; sizes are -1 where the model file alone does not tell them.
struct TStructureSet {
    std::string Name; // lower-cased, as are all names below
    std::int64_t Size = -1;
    std::int64_t MaxSize = -1; // a bound on the size where one is known (Size when known)
};

// A variable or an equation: its name and the sets of its quantifiers, outermost first.
struct TStructureItem {
    std::string Name;
    std::vector<std::size_t> Sets; // indices into Sets()
};

class TModelStructure {
  public:
    // Reads the model text for the records' (variable, equation) pairs. False with a reason
    // when the text cannot be read so, or when a record's variable or equation is not
    // declared or the equation does not hold the variable (an omitted variable is held by
    // no equation: its record is accepted, and a condensation that uses it has no key).
    bool Parse(const std::string& text,
               const std::vector<std::pair<std::string, std::string>>& records,
               std::string& reason);

    // A key equal for condensations that make the same eliminations (see above), from each
    // record's status (stat[i - 1]: sub, backsub or notsub) and the order of the records.
    // Empty when the eliminations cannot be worked out (a record meets an equation that no
    // longer holds its variable): the condensation as written must then serve.
    std::string EliminationKey(const std::vector<std::int32_t>& stat,
                               const std::vector<std::int32_t>& order) const;

    // The model as declared, before any condensation, for those who weigh a condensation's
    // parts (sizes, fill-in) rather than only compare them.
    const std::vector<TStructureSet>& Sets() const { return SetList; }
    const std::vector<TStructureItem>& Variables() const { return VarList; }
    const std::vector<TStructureItem>& Equations() const { return EqList; }
    bool Holds(std::size_t equation, std::size_t variable) const;
    // The variables equation holds, ascending.
    std::vector<std::size_t> VariablesOf(std::size_t equation) const;
    // The number of elements of an item: the product of its sets' sizes; -1 when one of
    // them is unknown. MaxSizeOf uses the bounds where sizes are unknown.
    double SizeOf(const TStructureItem& item) const;
    double MaxSizeOf(const TStructureItem& item) const;
    // Record r's (1-based) variable and equation, as indices into Variables() and Equations().
    std::int32_t RecordCount() const { return static_cast<std::int32_t>(RecordItems.size()); }
    std::pair<std::size_t, std::size_t> RecordItem(std::int32_t record) const {
        return RecordItems[static_cast<std::size_t>(record - 1)];
    }

  private:
    friend class TEliminationTrace;
    using TSignature = std::pair<std::uint64_t, std::uint64_t>;
    // One record's elimination on the system as it stands (holds, used), which it changes;
    // false when its equation is used already or no longer holds its variable.
    bool Eliminate(std::vector<std::uint64_t>& holds, std::vector<char>& used, std::int32_t record,
                   std::int32_t stat, TSignature& signature) const;
    static std::string KeyOf(const std::vector<TSignature>& signatures);

    std::vector<TStructureSet> SetList;
    std::vector<TStructureItem> VarList;
    std::vector<TStructureItem> EqList;
    std::size_t Words = 0;               // 64-bit words of one equation's variable set
    std::vector<std::uint64_t> HoldBits; // equation e's variables at [e * Words, (e + 1) * Words)
    std::vector<std::pair<std::size_t, std::size_t>> RecordItems; // per record: variable, equation
};

// The first and last places of order where a condensation differs from a base of as many
// places (another record there, or its record's status changed); false when none does.
bool DifferingPlaces(const std::vector<std::int32_t>& stat, const std::vector<std::int32_t>& order,
                     const std::vector<std::int32_t>& baseStat,
                     const std::vector<std::int32_t>& baseOrder, std::size_t& first,
                     std::size_t& last);

// The eliminations of one condensation (the base), kept step by step so that the key of a
// condensation that differs from it in part (a toggle, an exchange) is worked out from the
// first place where they differ, and no further than where their systems are the same again.
class TEliminationTrace {
  public:
    // Works out the base's eliminations; the structure must outlive the trace's use.
    void Reset(const TModelStructure& structure, const std::vector<std::int32_t>& stat,
               const std::vector<std::int32_t>& order);
    bool Ready() const { return Structure != nullptr; }
    bool IsOf(const std::vector<std::int32_t>& stat, const std::vector<std::int32_t>& order) const {
        return Structure && stat == BaseStat && order == BaseOrder;
    }
    // Always equal to the structure's EliminationKey(stat, order).
    std::string Key(const std::vector<std::int32_t>& stat,
                    const std::vector<std::int32_t>& order) const;

  private:
    static constexpr std::size_t Every = 16; // positions between two kept systems
    const TModelStructure* Structure = nullptr;
    std::vector<std::int32_t> BaseStat, BaseOrder;
    bool Failed = false;
    std::string BaseKey;
    std::vector<TModelStructure::TSignature> Signatures; // the base's, per record
    std::vector<std::uint64_t> KeptHolds; // the system before position k * Every, for each k
    std::vector<char> KeptUsed;
};

// The structure of the model that the job folder's initial.sti names: the first word of a
// line of initial.sti (the translator's answer to its first question) names the model file;
// for a name without an extension every file of that stem is tried (the translator adds
// one). The first that declares the records' variables and equations gives the structure.
// records: records 1..count of initial.sti. False with the reason when none does.
bool ReadModelStructure(const std::string& folder, const std::string& initialSti,
                        const TSubInfo& records, std::int32_t count, TModelStructure& structure,
                        std::string& reason);

} // namespace pelvarn::search
