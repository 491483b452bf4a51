// The stand-in's cost model: it condenses the model's system as a translator would and
// prices the condensed system as a solver would.
//
// Eliminating variable v with equation E removes E and v from the system and puts E's
// other variables into every remaining equation that holds v (fill-in). The work of one
// elimination is the size of every equation so rewritten times the terms of E at that
// moment, so the order of the eliminations matters as well as their choice. The solve is
// priced from the rows of the final system and the terms per row (dense rows cost more).
// Backsolving costs a little more than substituting: its eliminations are dearer, and the
// variable's values are recomputed from E after the solve.
#pragma once

#include <string>
#include <vector>

#include "sim/ksxmodel.h"

namespace pelvarn::sim {

struct TCondenseAction {
    bool Backsolve = false;
    std::string VarName;
    std::string EqName;
    int Line = 0; // line of the stored-input file, for messages (0: none)
};

struct TEliminationStep {
    std::string VarName;
    std::string EqName;
    bool Backsolve = false;
    int EquationsRewritten = 0; // remaining equations that held the variable
    int TermsAdded = 0;         // new variable occurrences made by the fill-in
    double Work = 0;
};

struct TCondenseResult {
    std::vector<TEliminationStep> Steps;
    double EliminationWork = 0;
    double BacksolveWork = 0;
    int EquationsLeft = 0;
    double Rows = 0;     // sum of the sizes of the remaining equations
    double Nonzeros = 0; // sum over remaining equations and their variables
    double SolveWork = 0;
    double Memory = 0;        // megabytes the factorisation of the condensed system needs
    double PagingFactor = 1;  // how much longer the solve takes for want of memory
    double Seconds = 0; // the CPU time the job reports (before any noise)
};

// Weights of the cost terms; the defaults give times of seconds to minutes for models of
// a few thousand rows.
struct TCostWeights {
    double SecondsPerEliminationUnit = 5.0e-4;
    double SecondsPerSolveUnit = 1.25e-5;
    double SecondsPerRow = 1.25e-2;
    double BacksolveFactor = 1.15; // dearer eliminations when backsolving
    double SecondsPerBacksolveUnit = 2.5e-4;
    double BaseSeconds = 1.5; // reading the model, writing the solution
    // The factorisation stores each entry of the condensed system and its fill-in.
    double BytesPerSolveUnit = 16;
    // Memory the solve may use before it pages (megabytes; 0: no limit). A factorisation
    // that needs r times the budget keeps 1 / r of itself in memory; the rest is paged, and
    // work on paged entries is PagingSlowdown times as slow.
    double MemoryBudget = 0;
    double PagingSlowdown = 50;
};

// The memory law: the factor by which the solve slows when it needs `memory` megabytes
// with `budget` available (1 when it fits or when there is no budget).
double PagingFactor(double memory, double budget, double slowdown);

// Applies the actions in order. False with the translator's reason (naming the action)
// when an action is impossible: an unknown variable or equation, a variable already
// eliminated, an equation already used, or an equation that does not (or no longer)
// contain the variable.
bool Condense(const TKsxModel& model, const std::vector<TCondenseAction>& actions,
              TCondenseResult& result, std::string& msg, const TCostWeights& weights = {});

} // namespace pelvarn::sim
