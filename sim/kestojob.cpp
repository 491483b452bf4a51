#include "sim/kestojob.h"

#include <algorithm>
#include <cmath>

#include "base/paths.h"
#include "base/prng.h"
#include "base/textutil.h"

namespace pelvarn::sim {

namespace {

const std::string Eol = "\r\n";

// The answer of one stored-input line: "" for a blank or comment line.
std::string Answer(const std::string& raw) {
    std::string line = Trim(raw);
    if (line.empty() || line[0] == '!') return "";
    std::size_t bang = line.find('!');
    if (bang != std::string::npos) line = Trim(line.substr(0, bang));
    return line;
}

bool IsAbsolutePath(const std::string& p) {
    return (!p.empty() && (p[0] == '/' || p[0] == '\\')) || (p.size() > 1 && p[1] == ':');
}

std::string Number(double value, int decimals) {
    return FormatFixed(value, decimals);
}

std::string Padded(const std::string& s, std::size_t width) {
    return PadRight(s, width);
}

} // namespace

bool IsReportRequest(const std::vector<std::string>& lines, std::string& reportPath) {
    if (lines.empty() || AsciiUpper(Trim(lines[0])) != "RPT") return false;
    reportPath = lines.size() > 1 ? Trim(lines[1]) : "";
    return true;
}

bool ParseStoredInput(const std::vector<std::string>& lines, TStoredInput& input,
                      std::string& msg) {
    input = TStoredInput{};
    msg.clear();
    struct TAnswer {
        std::string Text;
        int Line;
    };
    std::vector<TAnswer> answers;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string a = Answer(lines[i]);
        if (!a.empty()) answers.push_back({a, static_cast<int>(i) + 1});
    }
    if (answers.empty()) {
        msg = "The stored input names no model file";
        return false;
    }
    input.ModelFile = answers[0].Text;
    input.ModelLine = answers[0].Line;
    for (std::size_t i = 1; i < answers.size();) {
        const TAnswer& code = answers[i];
        std::string c = AsciiLower(code.Text);
        if (c == "e") break;
        if (c != "s" && c != "b") {
            msg = "Line " + std::to_string(code.Line) + " of the stored input: expected a " +
                  "condensation action (s or b) or e, found \"" + code.Text + "\"";
            return false;
        }
        if (i + 2 >= answers.size()) {
            msg = "Line " + std::to_string(code.Line) +
                  " of the stored input: the condensation action lacks its variable or equation";
            return false;
        }
        input.Actions.push_back({c == "b", answers[i + 1].Text, answers[i + 2].Text, code.Line});
        i += 3;
    }
    return true;
}

double NoiseFactor(const std::string& stiName, const std::string& stiBytes, double noise,
                   double tail) {
    if (noise <= 0 && tail <= 0) return 1.0;
    std::uint32_t h = 2166136261u;
    auto mix = [&h](const std::string& s) {
        for (unsigned char c : s) {
            h ^= c;
            h *= 16777619u;
        }
    };
    mix(stiName);
    h ^= 0xff;
    mix(stiBytes);
    TRandom random(h);
    random.Below(2); // the first draw of a fresh seed varies little with the seed
    double draw = random.Below(2000001) / 1.0e6 - 1.0;
    double factor = std::max(0.05, 1.0 + noise * draw);
    if (tail > 0 && random.Below(1000000) < tail * 1e6) {
        const double u = random.Below(1000001) / 1.0e6;
        factor *= 1.1 + 1.9 * u * u;
    }
    return factor;
}

TJobOutcome RunJobOnModel(const std::string& stiPath, const TStoredInput& input,
                          const std::string& modelFile, const TKsxModel& model,
                          const std::string& stiBytes, const TJobSettings& settings) {
    TJobOutcome out;
    std::string& log = out.LogText;
    log += " Condensing the model: " + std::to_string(input.Actions.size()) + " actions." + Eol;
    TCondenseResult result;
    std::string msg;
    TCostWeights weights;
    weights.MemoryBudget = settings.MemoryBudget;
    bool ok = Condense(model, input.Actions, result, msg, weights);
    for (std::size_t k = 0; k < result.Steps.size(); ++k) {
        const TEliminationStep& s = result.Steps[k];
        std::string label = Padded(std::to_string(k + 1), 4) +
                            (s.Backsolve ? "Backsolve " : "Substitute ") + s.VarName + " using " +
                            s.EqName;
        log += "   " + Padded(label, 44) + " " + std::to_string(s.EquationsRewritten) +
               " equations rewritten, " + std::to_string(s.TermsAdded) + " terms added" + Eol;
    }
    if (!ok) {
        log += " %% Error: " + msg + "." + Eol;
        log += " %% The condensation cannot be done; no solution file is written." + Eol;
        log += " KESTO stopped with an error." + Eol;
        out.ExitCode = 2;
        return out;
    }
    out.Seconds = result.Seconds *
                  NoiseFactor(FileNamePart(stiPath), stiBytes, settings.Noise, settings.Tail);
    out.Seconds = std::round(out.Seconds * 100.0) / 100.0;
    std::string secondsText = Number(out.Seconds, 2);
    log += " Condensed system: " + std::to_string(result.EquationsLeft) + " equations, " +
           Number(result.Rows, 0) + " rows, " + Number(result.Nonzeros, 0) + " nonzeros." + Eol;
    log += " Elimination work " + Number(result.EliminationWork, 0) + " units, solve work " +
           Number(result.SolveWork, 0) + " units." + Eol;
    log += " Factorisation memory " + Number(result.Memory, 3) + " MB";
    if (result.PagingFactor > 1)
        log += " of " + Number(settings.MemoryBudget, 3) + " MB: the solve pages, " +
               Number(result.PagingFactor, 1) + " times as slow";
    log += "." + std::string(Eol);
    log += " Solving the condensed system: 3 steps." + Eol;
    log += "   Step 1 of 3 done." + std::string(Eol) + "   Step 2 of 3 done." + Eol +
           "   Step 3 of 3 done." + Eol;
    log += " Solution written to file pelvrn.sl4" + std::string(Eol);
    log += " Total CPU is " + secondsText + " seconds" + Eol;
    log += " End of KESTO run." + std::string(Eol);

    std::string& sl4 = out.SolutionText;
    sl4 += "KESTO solution file (stand-in), release " + settings.Release + Eol;
    sl4 += "model " + modelFile + Eol;
    sl4 += "stored input " + stiPath + Eol;
    sl4 += "equations " + std::to_string(result.EquationsLeft) + " rows " + Number(result.Rows, 0) +
           Eol;
    for (const TModelVar& v : model.Vars)
        sl4 += v.Name + " " + Number(v.Size, 0) + Eol;
    return out;
}

TJobOutcome RunJob(const std::string& stiPath, const std::vector<std::string>& stiLines,
                   const std::string& stiBytes, const TJobSettings& settings) {
    std::string head = " KESTO (stand-in translator and solver)  Release " + settings.Release + Eol;
    head += " Stored input from file " + stiPath + Eol;
    auto refused = [&](const std::string& why) {
        TJobOutcome out;
        out.LogText =
            head + " %% Error: " + why + "." + Eol + " KESTO stopped with an error." + Eol;
        out.ExitCode = 2;
        return out;
    };
    TStoredInput input;
    std::string msg;
    if (!ParseStoredInput(stiLines, input, msg)) return refused(msg);
    std::string modelFile = input.ModelFile;
    if (FileNamePart(modelFile).find('.') == std::string::npos) modelFile += ".ksx";
    std::string folder = FileFolder(stiPath);
    std::string modelPath =
        IsAbsolutePath(modelFile) || folder.empty() ? modelFile : JoinPath(folder, modelFile);
    head += " Reading model file " + modelFile + Eol;
    TKsxModel model;
    if (!ReadKsxModel(modelPath, model, msg)) return refused(msg);
    head += "   " + std::to_string(model.Sets.size()) + " sets, " +
            std::to_string(model.Vars.size()) + " variables, " + std::to_string(model.Eqs.size()) +
            " equations." + Eol;
    TJobOutcome out = RunJobOnModel(stiPath, input, modelFile, model, stiBytes, settings);
    out.LogText = head + out.LogText;
    return out;
}

double CondensationMemory(const std::string& modelText, const std::string& stiText) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < stiText.size()) {
        std::size_t end = stiText.find_first_of("\r\n", start);
        if (end == std::string::npos) end = stiText.size();
        lines.push_back(stiText.substr(start, end - start));
        start = end + (stiText.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    TStoredInput input;
    TKsxModel model;
    TCondenseResult result;
    std::string msg;
    if (!ParseStoredInput(lines, input, msg) || !ParseKsxModel(modelText, model, msg) ||
        !Condense(model, input.Actions, result, msg))
        return 0;
    return result.Memory;
}

std::string ReportText(const std::string& release, const std::string& programVersion) {
    std::string t;
    t += "[result]" + std::string(Eol);
    t += "release=" + release + Eol;
    t += "Program version=" + programVersion + Eol;
    t += "Program=KESTO stand-in translator and solver" + std::string(Eol);
    t += "Model language=KSX" + std::string(Eol);
    t += "Condensation=substitute, backsolve" + std::string(Eol);
    return t;
}

} // namespace pelvarn::sim
