// What condensing does to the model's system, worked out from the model file alone.
//
// Eliminating variable v with equation E puts E's other variables into every remaining
// equation that holds v, and takes E and v out. Two condensations in which every record's
// elimination meets the same equation contents (its own equation as it then stands, and the
// equations it rewrites) make the same eliminations and leave the same system: the
// translator and the solver do the same work, so their times are the same. Exchanging two
// eliminations that do not touch each other is such a change, however far apart they are.
//
// The model file is read only for its declarations: "Variable ... name(...) ...;" and
// "Equation name ... text;", where an equation holds the declared variables its text names.
// Comments ("! ... !", "![[! ... !]]!"), descriptions ("# ... #") and quoted texts are passed
// over; keywords and names ignore letter case.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pelvarn::search {

class TModelStructure {
  public:
    // Reads the model text for the records' (variable, equation) pairs. False with a reason
    // when the text cannot be read so, or when a record's variable or equation is not
    // declared or the equation does not hold the variable.
    bool Parse(const std::string& text,
               const std::vector<std::pair<std::string, std::string>>& records,
               std::string& reason);

    // A key equal for condensations that make the same eliminations (see above), from each
    // record's status (stat[i - 1]: sub, backsub or notsub) and the order of the records.
    // Empty when the eliminations cannot be worked out (a record meets an equation that no
    // longer holds its variable): the condensation as written must then serve.
    std::string EliminationKey(const std::vector<std::int32_t>& stat,
                               const std::vector<std::int32_t>& order) const;

    // What was read: the number of variables, each equation's variables as bits (64 to a
    // word), and each record's variable and equation.
    std::size_t Variables() const { return VarCount; }
    const std::vector<std::vector<std::uint64_t>>& EquationHolds() const { return Holds; }
    const std::vector<std::pair<std::size_t, std::size_t>>& Items() const { return RecordItems; }

  private:
    std::size_t VarCount = 0;
    std::size_t Words = 0;                     // 64-bit words of one equation's variable set
    std::vector<std::vector<std::uint64_t>> Holds; // per equation, the variables it holds
    std::vector<std::pair<std::size_t, std::size_t>> RecordItems; // per record: variable, equation
};

} // namespace pelvarn::search
