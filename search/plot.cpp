#include "search/plot.h"

#include <algorithm>

#include "base/textutil.h"

namespace pelvarn::search {

namespace {

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else if (c == '"')
            out += "&quot;";
        else if (static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) < 127)
            out += c;
    }
    return out;
}

std::string Num(double v) { return FormatFixed(v, 1); }

} // namespace

std::string ConvergencePlotSvg(const std::vector<TJournalEntry>& entries, const std::string& title) {
    const double width = 800, height = 480, left = 70, right = 20, top = 40, bottom = 50;
    const double plotW = width - left - right, plotH = height - top - bottom;
    std::vector<const TJournalEntry*> jobs;
    for (const auto& e : entries)
        if (e.VerifyOf < 0) jobs.push_back(&e);
    std::sort(jobs.begin(), jobs.end(),
              [](const TJournalEntry* a, const TJournalEntry* b) { return a->Job < b->Job; });
    double maxJob = 1, lo = 0, hi = 0;
    bool any = false;
    for (const TJournalEntry* e : jobs) {
        maxJob = std::max(maxJob, static_cast<double>(e->Job));
        if (e->Status != TJobStatus::Ok) continue;
        lo = any ? std::min(lo, e->Seconds) : e->Seconds;
        hi = any ? std::max(hi, e->Seconds) : e->Seconds;
        any = true;
    }
    if (!any || hi <= lo) {
        hi = lo + 1;
    }
    const double pad = (hi - lo) * 0.05;
    lo = std::max(0.0, lo - pad);
    hi += pad;
    auto x = [&](double job) { return left + plotW * job / maxJob; };
    auto y = [&](double s) { return top + plotH * (1 - (s - lo) / (hi - lo)); };

    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(width) +
                      "\" height=\"" + Num(height) + "\" viewBox=\"0 0 " + Num(width) + " " +
                      Num(height) + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg += "<text x=\"" + Num(width / 2) + "\" y=\"22\" text-anchor=\"middle\" font-size=\"15\">" +
           Escape(title) + "</text>\n";
    svg += "<rect x=\"" + Num(left) + "\" y=\"" + Num(top) + "\" width=\"" + Num(plotW) +
           "\" height=\"" + Num(plotH) + "\" fill=\"none\" stroke=\"#444\"/>\n";
    for (int k = 0; k <= 4; ++k) {
        const double s = lo + (hi - lo) * k / 4;
        svg += "<text x=\"" + Num(left - 6) + "\" y=\"" + Num(y(s) + 4) +
               "\" text-anchor=\"end\">" + FormatFixed(s, 2) + "</text>\n";
        const double j = maxJob * k / 4;
        svg += "<text x=\"" + Num(x(j)) + "\" y=\"" + Num(top + plotH + 18) +
               "\" text-anchor=\"middle\">" + std::to_string(static_cast<long long>(j)) +
               "</text>\n";
    }
    svg += "<text x=\"" + Num(left + plotW / 2) + "\" y=\"" + Num(height - 10) +
           "\" text-anchor=\"middle\">job</text>\n";
    svg += "<text x=\"16\" y=\"" + Num(top + plotH / 2) +
           "\" text-anchor=\"middle\" transform=\"rotate(-90 16 " + Num(top + plotH / 2) +
           ")\">CPU seconds</text>\n";

    std::string points, marks, line;
    bool haveBest = false;
    double best = 0;
    for (const TJournalEntry* e : jobs) {
        if (e->Status == TJobStatus::Ok) {
            points += "<circle cx=\"" + Num(x(e->Job)) + "\" cy=\"" + Num(y(e->Seconds)) +
                      "\" r=\"2.5\" fill=\"#4a7bd0\"/>\n";
            if (!haveBest || e->Seconds < best) {
                if (haveBest) line += " " + Num(x(e->Job)) + "," + Num(y(best));
                best = e->Seconds;
                haveBest = true;
                line += " " + Num(x(e->Job)) + "," + Num(y(best));
            }
        } else {
            const bool capped = e->Status == TJobStatus::Capped;
            marks += "<text x=\"" + Num(x(e->Job)) + "\" y=\"" + Num(top + 12) +
                     "\" text-anchor=\"middle\" fill=\"" + (capped ? "#d08a00" : "#c02020") +
                     "\">" + (capped ? "^" : "x") + "</text>\n";
        }
    }
    if (haveBest) line += " " + Num(x(maxJob)) + "," + Num(y(best));
    svg += points;
    if (!line.empty())
        svg += "<polyline points=\"" + line.substr(1) +
               "\" fill=\"none\" stroke=\"#1a9a3a\" stroke-width=\"2\"/>\n";
    svg += marks;
    if (jobs.empty())
        svg += "<text x=\"" + Num(left + plotW / 2) + "\" y=\"" + Num(top + plotH / 2) +
               "\" text-anchor=\"middle\" fill=\"#666\">no job has finished yet</text>\n";
    const double ly = top + plotH - 50;
    svg += "<g transform=\"translate(" + Num(left + plotW - 170) + "," + Num(ly) + ")\">"
           "<circle cx=\"6\" cy=\"0\" r=\"2.5\" fill=\"#4a7bd0\"/><text x=\"16\" y=\"4\">job time</text>"
           "<line x1=\"0\" y1=\"16\" x2=\"12\" y2=\"16\" stroke=\"#1a9a3a\" stroke-width=\"2\"/>"
           "<text x=\"16\" y=\"20\">best so far</text>"
           "<text x=\"6\" y=\"36\" text-anchor=\"middle\" fill=\"#d08a00\">^</text>"
           "<text x=\"16\" y=\"36\">capped</text>"
           "<text x=\"76\" y=\"36\" text-anchor=\"middle\" fill=\"#c02020\">x</text>"
           "<text x=\"86\" y=\"36\">failed</text></g>\n";
    svg += "</svg>\n";
    return svg;
}

} // namespace pelvarn::search
