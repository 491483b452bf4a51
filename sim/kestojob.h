// One run of the stand-in suite on a stored-input file, as portable code: it reads the
// stored input and the model, condenses, prices the solve and produces the texts of the
// log and of the solution file. kesto's main writes them and spends the time if asked.
//
// The stored input is a list of answers, one a line: blank lines and lines starting with
// "!" are left out (so a commented condensation triple is no action), and a "!" later in a
// line starts a comment. The first answer names the model file (".ksx" is added when it has
// no extension; a relative name is taken from the stored input's folder). Then come the
// condensation actions, three answers each: "s" (substitute) or "b" (backsolve), the
// variable, the equation. An answer "e" ends the condensation; the rest is not read.
// A file whose first line is "RPT" asks for the report instead (see kesto.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/condense.h"

namespace pelvarn::sim {

struct TStoredInput {
    std::string ModelFile; // as written in the stored input
    int ModelLine = 0;
    std::vector<TCondenseAction> Actions;
};

// Parses the lines of a job's stored input. False with a message when it cannot be used.
bool ParseStoredInput(const std::vector<std::string>& lines, TStoredInput& input, std::string& msg);

// True when the lines are a report request ("RPT" on the first line), with the report path.
bool IsReportRequest(const std::vector<std::string>& lines, std::string& reportPath);

struct TJobSettings {
    double Noise = 0;               // KESTO_NOISE: a fraction, 0 for none
    double Tail = 0;                // KESTO_TAIL: the share of runs slowed down, 0 for none
    std::string Release = "12.0.1"; // KESTO_RELEASE
    double MemoryBudget = 0;        // KESTO_MEMORY: megabytes, 0 for no limit
};

struct TJobOutcome {
    int ExitCode = 0;
    std::string LogText;      // the whole log, lines ending CR LF
    std::string SolutionText; // empty when no solution is written
    double Seconds = 0;       // reported CPU time
};

// The seeded noise factor: 1 + noise * (a draw in -1..1), the draw seeded from the stored
// input's file name and bytes, never below 0.05.
// With tail, that share of runs is also slowed, as on a machine busy with something else, by
// 10 % to 200 % (small slowdowns the likeliest).
double NoiseFactor(const std::string& stiName, const std::string& stiBytes, double noise,
                   double tail = 0);

// Runs the job: stiPath is the stored-input file as named on the command line, stiLines
// its lines, stiBytes its bytes (for the noise seed). Reads the model file itself.
TJobOutcome RunJob(const std::string& stiPath, const std::vector<std::string>& stiLines,
                   const std::string& stiBytes, const TJobSettings& settings);

// The same with the model already read (modelFile is the name used in the log).
TJobOutcome RunJobOnModel(const std::string& stiPath, const TStoredInput& input,
                          const std::string& modelFile, const TKsxModel& model,
                          const std::string& stiBytes, const TJobSettings& settings);

// The megabytes the solve of a stored input's condensation of a model text needs (both as
// texts, lines ending in any way); 0 when either is refused.
double CondensationMemory(const std::string& modelText, const std::string& stiText);

// The report file's text for a report request.
std::string ReportText(const std::string& release, const std::string& programVersion);

} // namespace pelvarn::sim
