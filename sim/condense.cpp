#include "sim/condense.h"

#include <algorithm>
#include <cmath>

namespace pelvarn::sim {

namespace {

// Occurrences of one variable in one equation, priced as the entries they make: a variable
// over more elements than the equation is summed over, one over fewer is repeated.
double Entries(double eqSize, double varSize) {
    return std::max(eqSize, varSize);
}

std::string Where(const TCondenseAction& a, std::size_t index) {
    std::string s = "condensation action " + std::to_string(index + 1);
    if (a.Line > 0) s += " (line " + std::to_string(a.Line) + " of the stored input)";
    return s;
}

} // namespace

double PagingFactor(double memory, double budget, double slowdown) {
    if (!(budget > 0) || !(memory > budget)) return 1;
    return 1 + (slowdown - 1) * (1 - budget / memory);
}

bool Condense(const TKsxModel& model, const std::vector<TCondenseAction>& actions,
              TCondenseResult& result, std::string& msg, const TCostWeights& w) {
    result = TCondenseResult{};
    msg.clear();
    const std::size_t nVars = model.Vars.size();
    const std::size_t nEqs = model.Eqs.size();
    // The current system: for each equation, a membership row over the variables.
    std::vector<std::vector<char>> holds(nEqs, std::vector<char>(nVars, 0));
    std::vector<int> termCount(nEqs, 0);
    for (std::size_t e = 0; e < nEqs; ++e) {
        for (int v : model.Eqs[e].Vars)
            holds[e][v] = 1;
        termCount[e] = static_cast<int>(model.Eqs[e].Vars.size());
    }
    std::vector<char> varGone(nVars, 0), eqUsed(nEqs, 0);
    std::vector<std::size_t> eliminatedBy(nVars, 0);

    for (std::size_t k = 0; k < actions.size(); ++k) {
        const TCondenseAction& a = actions[k];
        const char* verb = a.Backsolve ? "backsolve" : "substitute";
        int v = model.FindVar(a.VarName);
        if (v < 0) {
            msg = "Cannot " + std::string(verb) + " " + a.VarName + " in " + Where(a, k) +
                  ": there is no variable " + a.VarName + " in the model";
            return false;
        }
        int e = model.FindEq(a.EqName);
        if (e < 0) {
            msg = "Cannot " + std::string(verb) + " " + a.VarName + " in " + Where(a, k) +
                  ": there is no equation " + a.EqName + " in the model";
            return false;
        }
        if (varGone[v]) {
            msg = "Cannot " + std::string(verb) + " " + a.VarName + " in " + Where(a, k) +
                  ": it has already been eliminated by condensation action " +
                  std::to_string(eliminatedBy[v] + 1);
            return false;
        }
        if (eqUsed[e]) {
            msg = "Cannot " + std::string(verb) + " " + a.VarName + " in " + Where(a, k) +
                  ": equation " + a.EqName + " has already been used to eliminate a variable";
            return false;
        }
        if (!holds[e][v]) {
            msg = "Cannot " + std::string(verb) + " " + a.VarName + " in " + Where(a, k) +
                  ": equation " + a.EqName + " does not contain " + a.VarName;
            return false;
        }

        TEliminationStep step{model.Vars[v].Name, model.Eqs[e].Name, a.Backsolve};
        const double termsOfE = termCount[e];
        for (std::size_t f = 0; f < nEqs; ++f) {
            if (eqUsed[f] || f == static_cast<std::size_t>(e) || !holds[f][v]) continue;
            ++step.EquationsRewritten;
            step.Work += model.Eqs[f].Size * termsOfE;
            holds[f][v] = 0;
            --termCount[f];
            for (std::size_t u = 0; u < nVars; ++u) {
                if (!holds[e][u] || u == static_cast<std::size_t>(v) || holds[f][u]) continue;
                holds[f][u] = 1;
                ++termCount[f];
                ++step.TermsAdded;
            }
        }
        // Every equation rewritten also has to be sized and stored anew.
        step.Work += model.Eqs[e].Size * termsOfE;
        if (a.Backsolve) {
            step.Work *= w.BacksolveFactor;
            result.BacksolveWork += model.Eqs[e].Size * termsOfE;
        }
        result.EliminationWork += step.Work;
        eqUsed[e] = 1;
        varGone[v] = 1;
        eliminatedBy[v] = k;
        for (std::size_t u = 0; u < nVars; ++u)
            holds[e][u] = 0;
        termCount[e] = 0;
        result.Steps.push_back(std::move(step));
    }

    for (std::size_t f = 0; f < nEqs; ++f) {
        if (eqUsed[f]) continue;
        const double rows = model.Eqs[f].Size;
        double entries = 0;
        for (std::size_t u = 0; u < nVars; ++u)
            if (holds[f][u]) entries += Entries(rows, model.Vars[u].Size);
        const double perRow = entries / rows;
        ++result.EquationsLeft;
        result.Rows += rows;
        result.Nonzeros += entries;
        // Factorising costs about the square of the terms per row for each row.
        result.SolveWork += entries * perRow;
    }
    result.Memory = (result.Nonzeros + result.SolveWork) * w.BytesPerSolveUnit / 1.0e6;
    result.PagingFactor = PagingFactor(result.Memory, w.MemoryBudget, w.PagingSlowdown);
    const double solveSeconds =
        w.SecondsPerSolveUnit * result.SolveWork * std::sqrt(result.Rows / 1000.0 + 1.0) +
        w.SecondsPerRow * result.Rows;
    if (result.PagingFactor == 1)
        result.Seconds =
            w.BaseSeconds + w.SecondsPerEliminationUnit * result.EliminationWork +
            w.SecondsPerSolveUnit * result.SolveWork * std::sqrt(result.Rows / 1000.0 + 1.0) +
            w.SecondsPerRow * result.Rows + w.SecondsPerBacksolveUnit * result.BacksolveWork;
    else
        result.Seconds = w.BaseSeconds + w.SecondsPerEliminationUnit * result.EliminationWork +
                         solveSeconds * result.PagingFactor +
                         w.SecondsPerBacksolveUnit * result.BacksolveWork;
    return true;
}

} // namespace pelvarn::sim
