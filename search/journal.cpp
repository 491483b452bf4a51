#include "search/journal.h"

#include <chrono>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "platform/fileio.h"

namespace pelvarn::search {

using nlohmann::json;

namespace {

const char* const StatusNames[] = {"ok", "failed", "capped", "verify"};

bool ParseStatus(const std::string& name, TJobStatus& status) {
    for (int i = 0; i < 4; ++i)
        if (name == StatusNames[i]) {
            status = static_cast<TJobStatus>(i);
            return true;
        }
    return false;
}

json StateJson(const TPolicyState& s) {
    json replays = json::array();
    for (const TMoveSpec& m : s.Replays) {
        json move = {static_cast<int>(m.Kind), m.A, m.B, m.Replayed};
        if (m.Joined) move.push_back(true);
        replays.push_back(move);
    }
    return json{{"replays", replays},
                {"random", s.Random},
                {"proposals", s.Proposals},
                {"alterPos", s.AlterPos},
                {"sweepLeft", s.SweepLeft},
                {"sweepStarted", s.SweepStarted},
                {"sweepGained", s.SweepGained},
                {"sweepsDone", s.SweepsDone},
                {"toggleGains", s.ToggleGains},
                {"orderGains", s.OrderGains},
                {"toggleCredit", s.ToggleCredit},
                {"orderFree", s.OrderFree},
                {"toggleRests", s.ToggleRests}};
}

TPolicyState StateFrom(const json& j) {
    TPolicyState s;
    s.Random = j.at("random").get<std::uint32_t>();
    s.Proposals = j.at("proposals").get<std::int64_t>();
    s.AlterPos = j.at("alterPos").get<std::int32_t>();
    s.SweepLeft = j.at("sweepLeft").get<std::vector<std::int32_t>>();
    s.SweepStarted = j.at("sweepStarted").get<bool>();
    s.SweepGained = j.at("sweepGained").get<bool>();
    s.SweepsDone = j.at("sweepsDone").get<bool>();
    // Absent from the journals of earlier versions, which read with the defaults.
    s.ToggleGains = j.value("toggleGains", s.ToggleGains);
    s.OrderGains = j.value("orderGains", s.OrderGains);
    s.ToggleCredit = j.value("toggleCredit", s.ToggleCredit);
    s.OrderFree = j.value("orderFree", s.OrderFree);
    s.ToggleRests = j.value("toggleRests", s.ToggleRests);
    for (const json& m : j.value("replays", json::array())) {
        const int kind = m.at(0).get<int>();
        if (kind < 0 || kind > static_cast<int>(TMoveKind::Order))
            throw std::out_of_range("a move to make again of no known kind");
        s.Replays.push_back({static_cast<TMoveKind>(kind), m.at(1).get<std::int32_t>(),
                             m.at(2).get<std::int32_t>(), m.at(3).get<bool>(),
                             m.size() > 4 && m.at(4).get<bool>()});
    }
    return s;
}

// One line of JSON; bytes that are not UTF-8 (8-bit names) are replaced rather than thrown.
std::string Dump(const json& j) {
    return j.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

} // namespace

std::string JobStatusName(TJobStatus status) {
    return StatusNames[static_cast<int>(status)];
}

std::string HeaderLine(const TJournalHeader& h) {
    return Dump(json{{"journal", "pelvarn search"},
                     {"folder", h.Folder},
                     {"records", h.Records},
                     {"strategy", h.Strategy},
                     {"seed", h.Seed}});
}

std::string EntryLine(const TJournalEntry& e) {
    json j{{"job", e.Job},
           {"worker", e.Worker},
           {"status", JobStatusName(e.Status)},
           {"seconds", e.Seconds},
           {"wall", e.Wall},
           {"stat", StatText(e.Candidate)},
           {"order", e.Candidate.Order},
           {"change", e.Candidate.Change},
           {"nextJob", e.NextJob},
           {"state", StateJson(e.State)}};
    if (!e.Reason.empty()) j["reason"] = e.Reason;
    if (e.VerifyOf >= 0) j["verifyOf"] = e.VerifyOf;
    if (!e.At.empty()) j["at"] = e.At;
    if (e.Candidate.Move.Kind != TMoveKind::None)
        j["move"] = {static_cast<int>(e.Candidate.Move.Kind), e.Candidate.Move.A,
                     e.Candidate.Move.B, e.Candidate.Move.Replayed};
    if (e.Best >= 0) j["best"] = e.Best;
    if (e.Noise >= 0) j["noise"] = e.Noise;
    return Dump(j);
}

std::string EndLine(const std::string& ended) {
    return Dump(json{{"ended", ended}});
}

std::string UtcNowText() {
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

std::string VerdictLine(const TJournalVerdict& v) {
    return Dump(json{{"verified", v.Job}, {"median", v.Median}});
}

bool ParseJournal(const std::string& text, TJournalContents& contents, std::string& reason) {
    contents = TJournalContents{};
    std::vector<std::string> lines;
    std::vector<std::size_t> ends; // the offset after each line's line end
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const bool complete = end != std::string::npos;
        std::string line = text.substr(start, complete ? end - start : std::string::npos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() || !complete) {
            lines.push_back(line);
            ends.push_back(complete ? end + 1 : text.size());
        }
        start = complete ? end + 1 : text.size();
    }
    bool headerSeen = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool last = i + 1 == lines.size();
        try {
            // A last line without its line end was cut short, even if it parses.
            if (last && (text.empty() || text.back() != '\n'))
                throw std::runtime_error("no line end");
            json j = json::parse(lines[i]);
            if (!headerSeen) {
                if (!j.is_object() || j.value("journal", "") != "pelvarn search") {
                    reason = "its first line is not the header of a search journal";
                    return false;
                }
                contents.Header.Folder = j.at("folder").get<std::string>();
                contents.Header.Records = j.at("records").get<std::vector<std::string>>();
                contents.Header.Strategy = j.at("strategy").get<std::string>();
                contents.Header.Seed = j.at("seed").get<std::uint32_t>();
                headerSeen = true;
                contents.ValidBytes = ends[i];
                continue;
            }
            if (j.contains("ended")) {
                contents.Ended = j.at("ended").get<std::string>();
                continue;
            }
            if (j.contains("verified")) {
                contents.Verdicts.push_back(
                    {j.at("verified").get<std::int64_t>(), j.at("median").get<double>()});
                contents.ValidBytes = ends[i];
                continue;
            }
            TJournalEntry e;
            e.Job = j.at("job").get<std::int64_t>();
            e.Worker = j.at("worker").get<std::int32_t>();
            if (!ParseStatus(j.at("status").get<std::string>(), e.Status))
                throw std::runtime_error("unknown status");
            e.Seconds = j.at("seconds").get<double>();
            e.Wall = j.at("wall").get<double>();
            if (!ParseStatText(j.at("stat").get<std::string>(), e.Candidate.Stat))
                throw std::runtime_error("bad statuses");
            e.Candidate.Order = j.at("order").get<std::vector<std::int32_t>>();
            if (e.Candidate.Count() != static_cast<std::int32_t>(contents.Header.Records.size()) ||
                !IsPermutation(e.Candidate.Order, e.Candidate.Count()))
                throw std::runtime_error("the candidate does not fit the records");
            e.Candidate.Change = j.at("change").get<std::string>();
            e.Reason = j.value("reason", "");
            e.VerifyOf = j.value("verifyOf", std::int64_t{-1});
            e.NextJob = j.at("nextJob").get<std::int64_t>();
            e.State = StateFrom(j.at("state"));
            e.At = j.value("at", "");
            if (j.contains("move")) {
                // What made the candidate, so that a resumed search knows what each move did.
                const json& m = j.at("move");
                const int kind = m.at(0).get<int>();
                if (kind < 0 || kind > static_cast<int>(TMoveKind::Order))
                    throw std::runtime_error("a move of no known kind");
                e.Candidate.Move = {static_cast<TMoveKind>(kind), m.at(1).get<std::int32_t>(),
                                    m.at(2).get<std::int32_t>(), m.at(3).get<bool>()};
            }
            e.Best = j.value("best", std::int64_t{-1});
            e.Noise = j.value("noise", -1.0);
            contents.Entries.push_back(std::move(e));
            contents.Ended.clear(); // a resumed search went on
            contents.ValidBytes = ends[i];
        } catch (const std::exception&) {
            if (last && headerSeen) {
                contents.Warning = "the last line of the journal is incomplete (the search was "
                                   "stopped while writing it); it is ignored";
                break;
            }
            reason = "line " + std::to_string(i + 1) + " is damaged";
            return false;
        }
    }
    if (!headerSeen) {
        reason = "it holds no header line";
        return false;
    }
    return true;
}

void AppendJournalLine(const std::string& path, const std::string& line) {
    AppendToFileSynced(path, line);
}

} // namespace pelvarn::search
