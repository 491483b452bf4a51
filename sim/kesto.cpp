// kesto: the stand-in for the modelling suite's translator and solver, used by the demo job
// folder, the tests and the benchmarks. It is not part of the product.
//
//   kesto -sti FILE [-los LOG]   run the job of a stored-input file (or write the report
//                                that a stored input starting with "RPT" asks for)
//   kesto gen --vars N --seed S --out FOLDER [--kesto PATH] [--memory F | --groups K]
//                                write a synthetic model with its initial.sti and job files
//                                (with --memory, a model with hubs and job files that set a
//                                memory budget of F times what the initial condensation's
//                                solve needs; with --groups, a model whose eliminations pay
//                                only in blocks of about K, nothing condensed at the start)
//
// Environment: KESTO_NOISE=<fraction> multiplies the reported time by seeded noise;
// KESTO_TAIL=<fraction> slows that share of runs by 10 % to 200 %, as a busy machine would;
// KESTO_BURN=<factor> spends that fraction of the reported time as real CPU;
// KESTO_MEMORY=<megabytes> is the memory the solve may use before it pages;
// KESTO_RELEASE and KESTO_PROGRAM_VERSION set the values of the report.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "base/mystrucs.h"
#include "base/paths.h"
#include "base/textutil.h"
#include "platform/fileio.h"
#include "sim/kestojob.h"
#include "sim/modelgen.h"
#include "sti/txtfile.h"

using namespace pelvarn;
using namespace pelvarn::sim;

namespace {

const char* const Usage =
    "Usage: kesto -sti FILE [-los LOG]\n"
    "       kesto gen --vars N --seed S --out FOLDER [--kesto PATH] [--memory F | --groups K]\n\n"
    "The stand-in suite: translates, condenses and solves the model named in the stored-input\n"
    "file FILE, writes the log LOG (standard output without -los) and the solution file\n"
    "pelvrn.sl4 in the working folder, and reports \"Total CPU is <seconds> seconds\".\n"
    "A stored input whose first line is RPT asks for the report file named on its second line.\n"
    "\"gen\" writes a synthetic model of N condensation candidates, its initial.sti and the job\n"
    "files pelvrn.sh and pelvrn.bat (which run PATH, by default this program). With --memory,\n"
    "the model has hubs, as a price level or an exchange rate is: one candidate in seven is\n"
    "held by more than half of the equations and defined over ten or more of the widest\n"
    "variables; the initial condensation leaves them in, and substituting one fills every\n"
    "equation that holds it. The job files set KESTO_MEMORY (unless it is set) to F times\n"
    "the megabytes that the initial condensation's solve needs.\n"
    "With --groups K (2 to 12), the eliminations pay only in blocks: every candidate belongs\n"
    "to a block of K-1 to K+1 that defines a summary result from the block's next members\n"
    "and the model's wide variables, as a region's or a sector's summary equations do. The\n"
    "initial.sti condenses nothing. Substituting a member alone fills the equations of the\n"
    "members above it and makes the solve slower, unless those have gone first (the block's\n"
    "head, which no equation uses, pays alone); the whole block gone takes all of its\n"
    "equations out, and the model with every block gone solves several times as fast.\n\n"
    "Environment: KESTO_NOISE=<fraction> (seeded noise on the time), KESTO_TAIL=<fraction>\n"
    "(that share of runs slowed by 10 % to 200 %, as on a busy machine), KESTO_BURN=<factor>\n"
    "(spend that fraction of the time as real CPU), KESTO_MEMORY=<megabytes> (the memory the\n"
    "solve may use: beyond it, it pages and takes many times as long; the log reports what it\n"
    "needs), KESTO_RELEASE, KESTO_PROGRAM_VERSION.\n\n"
    "Exit status: 0 done; 1 wrong arguments or a file that cannot be read or written;\n"
    "2 the stored input or the model is refused (the reason is in the log).\n";

int UsageError(const std::string& problem) {
    std::fprintf(stderr, "kesto: %s\n\n%s", problem.c_str(), Usage);
    return 1;
}

std::string EnvText(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

// A non-negative number from the environment; 0 when absent or unreadable.
double EnvNumber(const char* name) {
    std::string text = Trim(EnvText(name, ""));
    if (text.empty()) return 0;
    float value = 0;
    std::int32_t code = 0;
    StrToSingle(text, value, code);
    if (code != 0 || !(value >= 0)) {
        std::fprintf(stderr, "kesto: %s=%s is not a number of 0 or more; ignored\n", name,
                     text.c_str());
        return 0;
    }
    return value;
}

// Spends about `seconds` of processor time.
void Burn(double seconds) {
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + std::chrono::duration<double>(seconds);
    volatile double sink = 1.0;
    while (clock::now() < end)
        for (int k = 0; k < 20000; ++k)
            sink = sink * 1.0000001 + 1e-9;
}

int RunSti(const std::string& stiPath, const std::string& logPath) {
    std::vector<std::string> lines;
    std::string bytes;
    {
        TTextFile file;
        std::string sysMsg;
        if (!file.TryOpen(stiPath, sysMsg)) {
            std::fprintf(stderr, "kesto: cannot open stored-input file %s: %s\n", stiPath.c_str(),
                         sysMsg.c_str());
            return 1;
        }
        std::string line;
        while (file.ReadLine(line)) {
            lines.push_back(line);
            bytes += line + "\n";
        }
        file.Close();
    }
    std::string reportPath;
    if (IsReportRequest(lines, reportPath)) {
        if (reportPath.empty()) {
            std::fprintf(stderr, "kesto: the RPT stored input %s names no report file\n",
                         stiPath.c_str());
            return 1;
        }
        ReplaceFileContents(reportPath, ReportText(EnvText("KESTO_RELEASE", "12.0.1"),
                                                   EnvText("KESTO_PROGRAM_VERSION", "e")));
        if (!logPath.empty())
            ReplaceFileContents(logPath, " KESTO report written to " + reportPath + "\r\n");
        return 0;
    }

    const std::string solutionFile = "pelvrn.sl4";
    DeleteFileQuietly(solutionFile); // a refused job must not leave an old solution behind
    TJobSettings settings;
    settings.Noise = EnvNumber("KESTO_NOISE");
    settings.Tail = EnvNumber("KESTO_TAIL");
    settings.Release = EnvText("KESTO_RELEASE", settings.Release);
    settings.MemoryBudget = EnvNumber("KESTO_MEMORY");
    TJobOutcome out = RunJob(stiPath, lines, bytes, settings);
    const double burn = EnvNumber("KESTO_BURN");
    if (out.ExitCode == 0 && burn > 0) Burn(out.Seconds * burn);
    if (out.ExitCode == 0) ReplaceFileContents(solutionFile, out.SolutionText);
    if (logPath.empty())
        std::fwrite(out.LogText.data(), 1, out.LogText.size(), stdout);
    else
        ReplaceFileContents(logPath, out.LogText);
    return out.ExitCode;
}

int RunGen(const std::vector<std::string>& args, const char* argv0) {
    int vars = -1;
    long long seed = 1;
    double memory = 0;
    int groups = 0; // 0: a model without blocks
    bool groupsGiven = false;
    std::string folder, kesto;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size()) return UsageError("option " + a + " needs a value");
        const std::string& v = args[++i];
        try {
            if (a == "--vars")
                vars = std::stoi(v);
            else if (a == "--seed")
                seed = std::stoll(v);
            else if (a == "--out")
                folder = v;
            else if (a == "--kesto")
                kesto = v;
            else if (a == "--memory")
                memory = std::stod(v);
            else if (a == "--groups")
                groups = std::stoi(v), groupsGiven = true;
            else
                return UsageError("unknown option " + a);
        } catch (const std::exception&) {
            return UsageError("option " + a + " needs a number, not " + v);
        }
    }
    if (vars < 1 || vars > 500) return UsageError("--vars must be 1 to 500");
    if (seed < 0 || seed > 4294967295LL) return UsageError("--seed must be 0 to 4294967295");
    if (folder.empty()) return UsageError("--out FOLDER is needed");
    if (!(memory >= 0) || memory > 1e6) return UsageError("--memory must be a number of 0 or more");
    if (groupsGiven && (groups < 2 || groups > 12)) return UsageError("--groups must be 2 to 12");
    if (groupsGiven && memory > 0) return UsageError("--groups and --memory cannot be combined");
    if (kesto.empty()) {
        std::error_code ec;
        std::filesystem::path self = std::filesystem::absolute(argv0, ec);
        kesto = ec ? std::string(argv0) : self.string();
#ifdef _WIN32
        if (AsciiLower(kesto).size() < 4 || AsciiLower(kesto).substr(kesto.size() - 4) != ".exe")
            kesto += ".exe";
#endif
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        std::fprintf(stderr, "kesto: cannot create folder %s: %s\n", folder.c_str(),
                     ec.message().c_str());
        return 1;
    }
    TGeneratedModel model =
        groups > 0 ? GenerateGroupedModel(vars, static_cast<std::uint32_t>(seed), groups)
                   : GenerateModel(vars, static_cast<std::uint32_t>(seed), memory > 0);
    ReplaceFileContents(JoinPath(folder, GeneratedModelFileName), model.ModelText);
    ReplaceFileContents(JoinPath(folder, "initial.sti"), model.StiText);
    std::string shBudget, batBudget;
    if (memory > 0) {
        const std::string budget =
            FormatFixed(memory * CondensationMemory(model.ModelText, model.StiText), 3);
        shBudget = "KESTO_MEMORY=${KESTO_MEMORY:-" + budget + "}\nexport KESTO_MEMORY\n";
        batBudget = "if \"%KESTO_MEMORY%\"==\"\" set KESTO_MEMORY=" + budget + "\r\n";
    }
    ReplaceFileContents(
        JoinPath(folder, "pelvrn.sh"),
        "#!/bin/sh\n# Runs the stand-in suite on the stored input $1 (written by kesto gen).\n" +
            shBudget + "exec \"${KESTO:-" + kesto + "}\" -sti \"$1\" -los run.log\n");
    ReplaceFileContents(JoinPath(folder, "pelvrn.bat"),
                        "@echo off\r\nrem Runs the stand-in suite on the stored input %1 (written "
                        "by kesto gen).\r\n" +
                            batBudget + "\"" + kesto + "\" -sti %1 -los run.log\r\n");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (!args.empty() && args[0] == "gen")
            return RunGen(std::vector<std::string>(args.begin() + 1, args.end()), argv[0]);
        std::string sti, log;
        for (std::size_t i = 0; i < args.size(); ++i) {
            std::string a = AsciiLower(args[i]);
            if ((a == "-sti" || a == "-los") && i + 1 < args.size()) {
                (a == "-sti" ? sti : log) = args[++i];
            } else {
                return UsageError("unexpected argument " + args[i]);
            }
        }
        if (sti.empty()) return UsageError("-sti FILE is needed");
        return RunSti(sti, log);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kesto: %s\n", e.what());
        return 1;
    }
}
