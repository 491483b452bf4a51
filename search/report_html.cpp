#include "search/report_html.h"

#include <cmath>

#include "base/textutil.h"
#include "search/plot.h"

namespace pelvarn::search {

namespace {

const char* const Style = R"(
body{font-family:system-ui,-apple-system,"Segoe UI",Roboto,"DejaVu Sans",sans-serif;color:#222;
max-width:62em;margin:0 auto;padding:0 1em 2em;line-height:1.45}
h1{font-size:1.5em;margin:.8em 0 .2em}
h2{font-size:1.2em;border-bottom:1px solid #ccc;padding-bottom:.15em;margin-top:1.8em}
h3{font-size:1em;margin:1.2em 0 .3em}
p.lead{color:#555;margin-top:0}
dl.summary{display:grid;grid-template-columns:max-content 1fr;gap:.25em 1.2em}
dl.summary dt{font-weight:600}
dl.summary dd{margin:0}
.wide{overflow-x:auto}
table{border-collapse:collapse;margin:.4em 0 1em}
th,td{text-align:left;padding:.2em .7em .2em 0;border-bottom:1px solid #e6e6e6;vertical-align:top}
th{border-bottom:1px solid #999}
td.n,th.n{text-align:right;font-variant-numeric:tabular-nums}
.faster{color:#1a7a32}
.slower{color:#b01e1e}
.quiet{color:#777}
code{white-space:nowrap;font-size:.95em}
pre{background:#f6f6f6;padding:.6em .8em;overflow-x:auto;font-size:.9em}
figure{margin:.6em 0}
svg{max-width:100%;height:auto}
.big{font-size:1.15em;font-weight:600}
@media (max-width:36em){dl.summary{grid-template-columns:1fr}dl.summary dd{margin:0 0 .4em}
th,td{padding-right:.4em}body{padding:0 .6em 1em}}
@media print{body{max-width:none;font-size:10pt}.wide{overflow:visible}pre{white-space:pre-wrap}
h2{break-after:avoid}figure,tr{break-inside:avoid}}
)";

std::string E(const std::string& text) {
    return XmlText(text);
}

std::string Secs(double s) {
    return FormatFixed(s, 2) + " s";
}

std::string Signed(double v, int decimals) {
    return (v > 0 ? "+" : "") + FormatFixed(v, decimals);
}

std::string ChangeClass(double v) {
    return v < 0 ? "faster" : v > 0 ? "slower" : "quiet";
}

std::string StatName(std::int32_t s) {
    return s >= 0 && s <= 2 ? SubStatName[static_cast<std::size_t>(s)] : std::to_string(s);
}

std::string JobList(const std::vector<std::int64_t>& jobs, std::size_t most = 12) {
    std::string s;
    for (std::size_t i = 0; i < jobs.size() && i < most; ++i)
        s += (i ? ", " : "") + std::string("Job") + std::to_string(jobs[i]);
    if (jobs.size() > most) s += " and " + std::to_string(jobs.size() - most) + " more";
    return s;
}

std::string When(const std::string& at) {
    if (at.size() != 20) return at;
    return at.substr(0, 10) + " " + at.substr(11, 8) + " UTC";
}

std::string Hours(double h) {
    if (h < 1.0 / 60) return FormatFixed(h * 3600, 1) + " s";
    const long long minutes = std::llround(h * 60);
    return std::to_string(minutes / 60) + " h " + (minutes % 60 < 10 ? "0" : "") +
           std::to_string(minutes % 60) + " min";
}

struct TPage {
    std::string Html;
    void Add(const std::string& s) { Html += s; }
    void Row(std::initializer_list<std::string> cells, const std::string& tag = "td") {
        Html += "<tr>";
        for (const std::string& c : cells) {
            // A cell given as "n|text" is a number, right aligned.
            if (c.rfind("n|", 0) == 0)
                Html += "<" + tag + " class=\"n\">" + c.substr(2) + "</" + tag + ">";
            else
                Html += "<" + tag + ">" + c + "</" + tag + ">";
        }
        Html += "</tr>\n";
    }
    void Item(const std::string& term, const std::string& value) {
        Html += "<dt>" + term + "</dt><dd>" + value + "</dd>\n";
    }
};

std::string RecordName(const TSearchAnalysis& a, std::int32_t r) {
    return E(a.Names[static_cast<std::size_t>(r - 1)]);
}

void Summary(TPage& p, const TSearchAnalysis& a) {
    p.Add("<h2 id=\"summary\">Summary</h2>\n<dl class=\"summary\">\n");
    p.Item("Job folder", E(a.Folder));
    p.Item("Model file",
           a.ModelFile.empty() ? "<span class=\"quiet\">not named</span>" : E(a.ModelFile));
    p.Item("Strategy", E(a.Strategy) + ", seed " + std::to_string(a.Seed));
    if (!a.FirstAt.empty())
        p.Item("Jobs ended", "first " + E(When(a.FirstAt)) + ", last " + E(When(a.LastAt)));
    else
        p.Item("Jobs ended", "<span class=\"quiet\">dates not recorded in this journal</span>");
    std::string jobs =
        std::to_string(a.Jobs) + " (" + std::to_string(a.Timed) + " timed, " +
        (a.Retimed > 0 ? std::to_string(a.Retimed) + " timed again to judge near ties, "
                       : std::string()) +
        std::to_string(a.Failed) + " failed, " + std::to_string(a.Capped) + " capped)";
    if (a.VerifyJobs > 0) jobs += ", and " + std::to_string(a.VerifyJobs) + " verification jobs";
    p.Item("Jobs", jobs);
    p.Item("Hours", (a.SpanHours >= 0 ? Hours(a.SpanHours) + " from the first job's end to the "
                                                             "last's; "
                                      : std::string()) +
                        Hours(a.JobHours) + " of jobs' wall time in all");
    p.Item("Initial time", a.HaveInitial ? Secs(a.InitialSeconds) + " (Job0, initial.sti)"
                                         : "<span class=\"quiet\">not timed</span>");
    // The best as the search judged it, by the mean of its timings, where it timed it again
    // or judged another than the fastest single timing.
    const bool judged =
        a.VerifiedJob < 0 && a.KeptTimings > 0 && (a.KeptJob != a.BestJob || a.KeptTimings > 1);
    if (judged) {
        p.Item("Best time", "<span class=\"big\">" + Secs(a.KeptSeconds) + "</span> (Job" +
                                std::to_string(a.KeptJob) + ", the mean of " +
                                std::to_string(a.KeptTimings) +
                                (a.KeptTimings == 1 ? " timing" : " timings") +
                                "; the fastest single timing was " + Secs(a.BestSeconds) + ", Job" +
                                std::to_string(a.BestJob) + ")");
    } else if (a.BestJob >= 0) {
        p.Item("Best time", "<span class=\"big\">" + Secs(a.BestSeconds) + "</span> (Job" +
                                std::to_string(a.BestJob) + ")");
    }
    if (a.BestJob >= 0) {
        if (a.HaveInitial)
            p.Item("Faster by", "<span class=\"big " + ChangeClass(-a.PercentFaster) + "\">" +
                                    FormatFixed(a.PercentFaster, 1) + " %</span> than initial.sti");
    } else {
        p.Item("Best time", "<span class=\"quiet\">no job was timed</span>");
    }
    if (a.VerifiedJob >= 0)
        p.Item("Verified", "Job" + std::to_string(a.VerifiedJob) + ", median " +
                               Secs(a.VerifiedMedian) +
                               " over its repeated times; kept as "
                               "optimal.sti");
    p.Item("The search", E(EndedText(a.Ended)));
    p.Add("</dl>\n");
}

void Plot(TPage& p, const TSearchAnalysis& a) {
    p.Add("<h2 id=\"plot\">Convergence</h2>\n<figure>\n");
    p.Add(SvgElement(ConvergencePlot(a.Entries, "Search of " + a.FolderName, 800, 420)));
    p.Add("</figure>\n");
}

void Changes(TPage& p, const TSearchAnalysis& a) {
    p.Add("<h2 id=\"changes\">What changed</h2>\n");
    if (a.KeptJob < 0) {
        p.Add("<p>No job was timed, so nothing was kept.</p>\n");
        return;
    }
    p.Add("<p class=\"lead\">optimal.sti holds Job" + std::to_string(a.KeptJob) +
          (a.VerifiedJob >= 0       ? " (the best median of <code>--verify</code>)"
           : a.KeptJob == a.BestJob ? " (the fastest job)"
                                    : " (the best by the mean of its timings)") +
          ", against initial.sti.</p>\n");
    p.Add("<h3>Statuses</h3>\n");
    if (a.StatusChanges.empty()) {
        p.Add("<p>Every record has the status it has in initial.sti.</p>\n");
    } else {
        p.Add("<div class=\"wide\"><table>\n");
        p.Row({"n|Record", "Variable/equation", "From", "To"}, "th");
        for (const TStatusChange& c : a.StatusChanges)
            p.Row({"n|" + std::to_string(c.Record), RecordName(a, c.Record), StatName(c.From),
                   StatName(c.To)});
        p.Add("</table></div>\n");
    }
    p.Add("<h3>Order</h3>\n");
    if (a.PlaceChanges.empty()) {
        p.Add("<p>The records are written in the order of initial.sti.</p>\n");
    } else {
        p.Add("<div class=\"wide\"><table>\n");
        p.Row({"n|Record", "Variable/equation", "n|Place in initial.sti", "n|Place now"}, "th");
        for (const TPlaceChange& c : a.PlaceChanges)
            p.Row({"n|" + std::to_string(c.Record), RecordName(a, c.Record),
                   "n|" + std::to_string(c.From), "n|" + std::to_string(c.To)});
        p.Add("</table></div>\n");
    }
    p.Add("<h3>The condensation kept (optimal.cnd)</h3>\n<pre>");
    for (const std::string& line : a.KeptStatements)
        p.Add(E(line) + "\n");
    p.Add("</pre>\n");
}

void Matters(TPage& p, const TSearchAnalysis& a) {
    p.Add("<h2 id=\"matters\">What matters</h2>\n");
    p.Add("<p class=\"lead\">The effect of toggling each record, measured by the jobs that differ "
          "from the best of their time by that toggle alone (below 0: faster).</p>\n");
    p.Add("<figure>\n" + SvgElement(ToggleChart(a)) + "</figure>\n");
    p.Add("<div class=\"wide\"><table>\n");
    p.Row({"n|Record", "Variable/equation", "Toggle", "n|Change", "n|Change %", "n|Jobs"}, "th");
    for (const TToggleEffect& t : a.Toggles) {
        const std::string toggle =
            t.From == t.To ? StatName(t.From) : StatName(t.From) + " &#8594; " + StatName(t.To);
        if (t.Jobs.empty()) {
            const bool fixed = t.From == t.To;
            p.Row({"n|" + std::to_string(t.Record), RecordName(a, t.Record), toggle,
                   std::string("<span class=\"quiet\">") +
                       (fixed ? "must be condensed" : "not measured") + "</span>",
                   "", "n|0"});
            continue;
        }
        const std::string cls = "n|<span class=\"" + ChangeClass(t.Seconds) + "\">";
        p.Row({"n|" + std::to_string(t.Record), RecordName(a, t.Record), toggle,
               cls + Signed(t.Seconds, 2) + " s</span>", cls + Signed(t.Percent, 1) + " %</span>",
               "n|" + std::to_string(t.Jobs.size())});
    }
    p.Add("</table></div>\n<h3>Exchanges</h3>\n");
    if (a.ExchangeJobs == 0) {
        p.Add("<p>No exchange of two records was timed one move from its best.</p>\n");
        return;
    }
    p.Add("<p>" + std::to_string(a.ExchangeJobs) + " jobs exchanged two records of their best: " +
          std::to_string(a.ExchangesFaster) + " were faster, " + std::to_string(a.ExchangesSlower) +
          " slower, " + std::to_string(a.ExchangeJobs - a.ExchangesFaster - a.ExchangesSlower) +
          " timed exactly as their best." +
          (a.Exchanges.empty()
               ? std::string()
               : " The exchanges that changed the time, by size of effect" +
                     std::string(a.Exchanges.size() > 15 ? " (the first 15)" : "") + ":") +
          "</p>\n");
    if (a.Exchanges.empty()) return;
    p.Add("<div class=\"wide\"><table>\n");
    p.Row({"Records", "n|Change", "n|Change %", "n|Jobs"}, "th");
    for (std::size_t i = 0; i < a.Exchanges.size() && i < 15; ++i) {
        const TExchangeEffect& x = a.Exchanges[i];
        const std::string cls = "n|<span class=\"" + ChangeClass(x.Seconds) + "\">";
        p.Row({std::to_string(x.A) + " " + RecordName(a, x.A) + " &#8596; " + std::to_string(x.B) +
                   " " + RecordName(a, x.B),
               cls + Signed(x.Seconds, 2) + " s</span>", cls + Signed(x.Percent, 1) + " %</span>",
               "n|" + std::to_string(x.Jobs.size())});
    }
    p.Add("</table></div>\n");
}

void Sure(TPage& p, const TSearchAnalysis& a) {
    p.Add("<h2 id=\"sure\">How sure</h2>\n");
    if (a.Noise >= 0) {
        std::string kept;
        if (a.KeptTimings > 1)
            kept = " Job" + std::to_string(a.KeptJob) + ", kept, was timed " +
                   std::to_string(a.KeptTimings) + " times in the search, " + Secs(a.KeptSeconds) +
                   " on average.";
        p.Add("<p>The search timed near ties again before it built on them, and measured from "
              "those repeats that times of the same condensation vary by about " +
              FormatFixed(100 * a.Noise, 1) +
              " %; a new best had to gain clearly more than that to count." + kept + "</p>\n");
    }
    if (a.Verified.empty()) {
        p.Add(std::string("<p><code>--verify</code> was not used: ") +
              (a.Retimed > 0 ? "beyond the near ties, " : "") +
              "each condensation was timed once.</p>\n");
    } else {
        p.Add("<div class=\"wide\"><table>\n");
        p.Row({"Job", "n|In the search", "Timed again", "n|Median", "n|Spread", ""}, "th");
        for (const TVerifyTimes& v : a.Verified) {
            std::string times;
            for (double t : v.Times)
                times += (times.empty() ? "" : ", ") + FormatFixed(t, 2);
            const double spreadPercent = v.Median > 0 ? v.Spread / v.Median * 100 : 0;
            p.Row({"Job" + std::to_string(v.Job), "n|" + Secs(v.First), times,
                   "n|" + Secs(v.Median),
                   "n|" + Secs(v.Spread) + " (" + FormatFixed(spreadPercent, 1) + " %)",
                   v.Chosen ? "kept" : ""});
        }
        p.Add("</table></div>\n");
    }
    if (a.OneMoveJobs > 0) {
        const double share =
            100.0 * static_cast<double>(a.SameAsBest) / static_cast<double>(a.OneMoveJobs);
        p.Add("<p>Of " + std::to_string(a.OneMoveJobs) + " jobs one move from their best, " +
              std::to_string(a.SameAsBest) + " (" + FormatFixed(share, 1) +
              " %) timed exactly as it. Where moves that change nothing the suite computes "
              "time exactly as their best, the times are exact and small gains are real; where "
              "none ever does, every time carries some noise, and gains of that size are "
              "uncertain until --verify has timed them again.</p>\n");
    }
}

void Failures(TPage& p, const TSearchAnalysis& a) {
    p.Add("<h2 id=\"failures\">Failures</h2>\n");
    if (a.FailedJobs.empty()) {
        p.Add("<p>No job failed or was capped.</p>\n");
        return;
    }
    p.Add("<div class=\"wide\"><table>\n");
    p.Row({"Status", "Reason", "n|Jobs", "Which"}, "th");
    for (const TFailureGroup& g : a.Failures)
        p.Row({JobStatusName(g.Status), E(g.Reason), "n|" + std::to_string(g.Jobs.size()),
               JobList(g.Jobs)});
    p.Add("</table></div>\n<h3>The jobs</h3>\n<div class=\"wide\"><table>\n");
    p.Row({"Job", "Status", "Reason", "Change"}, "th");
    for (const TJournalEntry* e : a.FailedJobs)
        p.Row({"Job" + std::to_string(e->Job), JobStatusName(e->Status), E(e->Reason),
               E(e->Candidate.Change)});
    p.Add("</table></div>\n");
}

void Fastest(TPage& p, const TSearchAnalysis& a) {
    p.Add("<h2 id=\"fastest\">The ten fastest condensations</h2>\n");
    if (a.Fastest.empty()) {
        p.Add("<p>No job was timed.</p>\n");
        return;
    }
    p.Add("<div class=\"wide\"><table>\n");
    p.Row({"n|#", "n|Time", "n|Faster", "n|Statuses changed", "Jobs", "First made by"}, "th");
    for (std::size_t i = 0; i < a.Fastest.size(); ++i) {
        const TFastCondensation& f = a.Fastest[i];
        const std::string faster =
            a.HaveInitial && a.InitialSeconds > 0
                ? FormatFixed((a.InitialSeconds - f.Seconds) / a.InitialSeconds * 100, 1) + " %"
                : "";
        p.Row({"n|" + std::to_string(i + 1), "n|" + Secs(f.Seconds), "n|" + faster,
               "n|" + std::to_string(f.StatusChanges), JobList(f.Jobs, 6), E(f.Change)});
    }
    p.Add("</table></div>\n");
}

} // namespace

std::string SearchReportHtml(const TSearchAnalysis& a) {
    TPage p;
    p.Add("<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
          "<meta charset=\"utf-8\"/>\n"
          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n"
          "<title>Search report: " +
          E(a.FolderName) + "</title>\n<style>" + Style + "</style>\n</head>\n<body>\n");
    p.Add("<h1>Search report: " + E(a.FolderName) + "</h1>\n");
    Summary(p, a);
    Plot(p, a);
    Changes(p, a);
    Matters(p, a);
    Sure(p, a);
    Failures(p, a);
    Fastest(p, a);
    p.Add("</body>\n</html>\n");
    return p.Html;
}

} // namespace pelvarn::search
