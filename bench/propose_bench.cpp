// The search policy's own cost: the time to propose a candidate once many jobs are timed.
//   pelvarn-bench-propose FOLDER JOBS RECORDS...: for each number of records, a kesto gen
//   model (seed 1) is written to FOLDER and read as the search reads it; the policy then
//   proposes JOBS candidates, each "timed" at once by the stand-in's cost model with 1 %
//   noise (not itself timed), learning and moving its best as the search does. Prints the median
//   and worst time to propose over the last 500 proposals, and over them all.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/paths.h"
#include "base/prng.h"
#include "platform/fileio.h"
#include "search/policy.h"
#include "search/structure.h"
#include "sim/condense.h"
#include "sim/ksxmodel.h"
#include "sim/modelgen.h"
#include "sti/stiUtils.h"

using namespace pelvarn;
using namespace pelvarn::search;
using Clock = std::chrono::steady_clock;

namespace {

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int Run(const std::string& folder, std::int64_t jobs, int count) {
    const sim::TGeneratedModel gen = sim::GenerateModel(count, 1);
    const std::string sti = JoinPath(folder, "initial" + std::to_string(count) + ".sti");
    ReplaceFileContents(sti, gen.StiText);
    auto records = std::make_unique<TSubInfo>();
    std::int32_t n = 0;
    std::string msg;
    sim::TKsxModel model;
    if (!ReadSTIFile(sti, *records, n, msg) || !sim::ParseKsxModel(gen.ModelText, model, msg)) {
        std::fprintf(stderr, "pelvarn-bench-propose: %s\n", msg.c_str());
        return 1;
    }
    std::vector<std::pair<std::string, std::string>> items;
    std::vector<TRecordFlags> flags;
    for (std::int32_t i = 1; i <= n; ++i) {
        const TSubRecord& r = (*records)[static_cast<std::size_t>(i)];
        items.emplace_back(r.VarName, r.EqName);
        flags.push_back({r.MustSee, r.MustSub});
    }
    auto structure = std::make_shared<TModelStructure>();
    if (!structure->Parse(gen.ModelText, items, msg)) {
        std::fprintf(stderr, "pelvarn-bench-propose: %s\n", msg.c_str());
        return 1;
    }
    TPolicy policy(TStrategy::AlterPair, flags, 1, true);
    policy.SetStructure(structure);
    TRandom noise(7);
    auto cost = [&](const TCandidate& c, double& seconds) {
        std::vector<sim::TCondenseAction> actions;
        for (std::int32_t r : c.Order) {
            const std::int32_t s = c.Stat[static_cast<std::size_t>(r - 1)];
            if (s != notsub)
                actions.push_back({s == backsub, items[static_cast<std::size_t>(r - 1)].first,
                                   items[static_cast<std::size_t>(r - 1)].second});
        }
        sim::TCondenseResult result;
        std::string why;
        if (!sim::Condense(model, actions, result, why)) return false;
        // Times as a machine measures them, 1 % apart from run to run, so that the best
        // moves on as it does in a real search and the jobs go on.
        seconds = result.Seconds * (1 + 0.01 * (noise.Below(2001) / 1000.0 - 1));
        return true;
    };
    TCandidate best = CandidateOf(*records, n);
    double bestSeconds = 0;
    cost(best, bestSeconds);
    policy.MarkSeen(best);
    std::vector<double> all;
    std::int64_t done = 0, slices = 0;
    for (; done < jobs; ++done) {
        TCandidate next;
        // A proposal's time includes every slice of a look at the neighbours it took.
        const auto t0 = Clock::now();
        bool proposed = policy.Next(best, next);
        while (!proposed && policy.Pending) {
            ++slices;
            proposed = policy.Next(best, next);
        }
        all.push_back(std::chrono::duration<double>(Clock::now() - t0).count() * 1000);
        if (!proposed) break;
        double seconds = 0;
        TLesson lesson;
        lesson.Timed = cost(next, seconds);
        lesson.Change = lesson.Timed ? (seconds - bestSeconds) / bestSeconds : 0;
        lesson.Accepted = lesson.Timed && seconds < bestSeconds;
        policy.Learn(next, lesson, best);
        if (lesson.Accepted) {
            best = next;
            bestSeconds = seconds;
        }
    }
    const std::size_t tail = std::min<std::size_t>(all.size(), 500);
    const std::vector<double> last(all.end() - static_cast<std::ptrdiff_t>(tail), all.end());
    std::printf("propose: %d records, %lld jobs: last %zu proposals median %.3f ms, worst %.1f "
                "ms; all median %.3f ms, worst %.1f ms; %lld slices given back%s\n",
                count, static_cast<long long>(done), tail, Median(last),
                *std::max_element(last.begin(), last.end()), Median(all),
                *std::max_element(all.begin(), all.end()), static_cast<long long>(slices),
                done < jobs ? " (every neighbour of the best timed: the search is complete)" : "");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: pelvarn-bench-propose FOLDER JOBS RECORDS...\n");
        return 1;
    }
    try {
        for (int k = 3; k < argc; ++k)
            if (Run(argv[1], std::stoll(argv[2]), std::stoi(argv[k])) != 0) return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pelvarn-bench-propose: %s\n", e.what());
        return 1;
    }
    return 0;
}
