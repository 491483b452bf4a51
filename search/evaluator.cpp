#include "search/evaluator.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "base/paths.h"
#include "base/textutil.h"
#include "platform/fileio.h"
#include "sti/cputime.h"
#include "sti/stiUtils.h"

namespace pelvarn::search {

namespace fs = std::filesystem;

namespace {

std::string OneLineText(const std::string& text) {
    std::string s;
    for (char c : text)
        if (c == '\r' || c == '\n') {
            if (!s.empty() && s.back() != ' ') s += ' ';
        } else {
            s += c;
        }
    return Trim(s);
}

} // namespace

bool SplitShellWords(const std::string& text, std::vector<std::string>& words) {
    words.clear();
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else if (c == '\'') {
            const std::size_t end = text.find('\'', i + 1);
            if (end == std::string::npos) return false;
            word += text.substr(i + 1, end - i - 1);
            i = end;
            inWord = true;
        } else if (c == '"') {
            inWord = true;
            for (++i;; ++i) {
                if (i >= text.size()) return false;
                if (text[i] == '"') break;
                if (text[i] == '\\' && i + 1 < text.size() &&
                    std::string_view("\"\\$`").find(text[i + 1]) != std::string_view::npos)
                    ++i;
                word += text[i];
            }
        } else if (c == '\\' && i + 1 < text.size()) {
            word += text[++i];
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return true;
}

std::vector<std::string> LaunchWords(const std::vector<std::string>& launcher,
                                     const TSearchCommand& command, const std::string& jobName,
                                     const std::string& workerFolder) {
    std::vector<std::string> cmd{command.Interpreter};
    cmd.insert(cmd.end(), command.Params.begin(), command.Params.end());
    cmd.push_back(jobName);
    if (launcher.empty()) return cmd;
    std::vector<std::string> words;
    for (const std::string& w : launcher) {
        if (w == "{cmd}") {
            words.insert(words.end(), cmd.begin(), cmd.end());
            continue;
        }
        std::string s = w;
        for (std::size_t at = s.find("{dir}"); at != std::string::npos;
             at = s.find("{dir}", at + workerFolder.size())) {
            s.replace(at, 5, workerFolder);
        }
        words.push_back(s);
    }
    return words;
}

std::string WorkerFolder(const std::string& jobFolder, std::int32_t w) {
    return NoTrailingBackslash(jobFolder) + ".w" + std::to_string(w + 1);
}

bool MakeWorkerFolder(const std::string& jobFolder, const std::string& workerFolder,
                      const std::vector<std::string>& skip, std::string& reason) {
    std::error_code ec;
    fs::create_directories(workerFolder, ec);
    if (ec) {
        reason = "cannot create " + workerFolder + ": " + ec.message();
        return false;
    }
    for (fs::directory_iterator it(jobFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::string lower = AsciiLower(name);
        if (StartsWith(lower, "job") || StartsWith(lower, "optimal.") || lower == "run.log" ||
            lower == "pelvrn.sl4" || std::find(skip.begin(), skip.end(), name) != skip.end())
            continue;
        // The earlier copy goes first: overwriting in place is not reliable on every
        // system's library (MinGW's refuses an existing file).
        const fs::path target = fs::path(workerFolder) / it->path().filename();
        std::error_code gone;
        fs::remove_all(target, gone);
        fs::copy(it->path(), target, fs::copy_options::recursive, ec);
        if (ec) {
            reason = "cannot copy " + name + " to " + workerFolder + ": " + ec.message();
            return false;
        }
    }
    if (ec) {
        reason = "cannot read " + jobFolder + ": " + ec.message();
        return false;
    }
    return true;
}

TProcessEvaluator::TProcessEvaluator(std::string jobFolder, std::vector<std::string> workerFolders,
                                     const TSubInfo& records, TSearchCommand command,
                                     std::vector<std::string> launcher)
    : JobFolder(std::move(jobFolder)), Records(std::make_unique<TSubInfo>(records)),
      Command(std::move(command)), Launcher(std::move(launcher)) {
    for (auto& f : workerFolders) {
        Slots.emplace_back();
        Slots.back().Folder = f;
    }
}

TProcessEvaluator::~TProcessEvaluator() {
    for (auto& s : Slots)
        if (s.Busy) KillProcess(s.Process);
}

bool TProcessEvaluator::Start(std::int32_t w, const std::string& jobName,
                              const TCandidate& candidate, std::string& reason) {
    TSlot& slot = Slots[static_cast<std::size_t>(w)];
    TSubOrder order{};
    ApplyCandidate(candidate, *Records, order);
    WriteSTIFile(JoinPath(JobFolder, jobName), *Records, candidate.Count(), order);
    WriteSTIFile(JoinPath(slot.Folder, jobName), *Records, candidate.Count(), order);
    // Nothing of the last job may be taken for this one's.
    DeleteFileQuietly(JoinPath(slot.Folder, "run.log"));
    DeleteFileQuietly(JoinPath(slot.Folder, "pelvrn.sl4"));

    std::vector<std::string> words = LaunchWords(Launcher, Command, jobName, slot.Folder);
    std::string params;
    for (std::size_t i = 1; i < words.size(); ++i)
        params += (i > 1 ? " " : "") + QuoteIfNeeded(words[i]);
    slot.Process = ProcInfo{};
    if (!StartProcessTreeDeafToCtrlC("Pelvarn", words[0], params, slot.Folder, ShowCmd,
                                     slot.Process, reason)) {
        reason = "could not start " + words[0] + ": " + reason;
        return false;
    }
    slot.Busy = true;
    slot.Ended = false;
    slot.Started = TClock::now();
    return true;
}

TJobOutcome TProcessEvaluator::Read(TSlot& slot, const TExitStatus& exit) const {
    TJobOutcome o;
    o.Wall = std::chrono::duration<double>(TClock::now() - slot.Started).count();
    const std::string log = JoinPath(slot.Folder, "run.log");
    const std::string solution = JoinPath(slot.Folder, "pelvrn.sl4");
    float seconds = 0;
    std::string why;
    o.Status = TJobStatus::Failed;
    if (!FileExists(log))
        o.Reason = "job did not produce expected file run.log";
    else if (!FileExists(solution))
        o.Reason = "job did not produce expected file pelvrn.sl4";
    else if (!GetCPUTime(log, seconds, why))
        o.Reason = "problem getting run time: " + OneLineText(why);
    else if (exit.Known && (exit.BySignal || exit.Code != 0)) {
        const std::string abnormal = AbnormalEndText(exit);
        o.Reason = !abnormal.empty()
                       ? abnormal
                       : "the job ended with exit status " + std::to_string(exit.Code);
    } else {
        o.Status = TJobStatus::Ok;
        // The log's figure as written (to the float's own precision), not its binary tail.
        o.Seconds = std::round(static_cast<double>(seconds) * 1e6) / 1e6;
    }
    return o;
}

std::int32_t TProcessEvaluator::Wait(int timeoutMs, TJobOutcome& outcome) {
    const auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::vector<const ProcInfo*> running;
        for (std::size_t w = 0; w < Slots.size(); ++w) {
            TSlot& s = Slots[w];
            if (!s.Busy) continue;
            if (s.Ended) {
                s.Busy = false;
                outcome = s.Outcome;
                return static_cast<std::int32_t>(w);
            }
            TExitStatus exitStatus;
            if (ProcessEnded(s.Process, exitStatus)) {
                s.Busy = false;
                outcome = Read(s, exitStatus);
                return static_cast<std::int32_t>(w);
            }
            running.push_back(&s.Process);
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
        if (running.empty() || left <= 0) return -1;
        // Whichever job ends first wakes the wait.
        WaitForAnyProcessEnd(running, static_cast<int>(left));
    }
}

double TProcessEvaluator::RunningFor(std::int32_t w) const {
    const TSlot& s = Slots[static_cast<std::size_t>(w)];
    if (!s.Busy || s.Ended) return -1;
    return std::chrono::duration<double>(TClock::now() - s.Started).count();
}

void TProcessEvaluator::End(std::int32_t w, TJobStatus status, const std::string& reason) {
    TSlot& s = Slots[static_cast<std::size_t>(w)];
    if (!s.Busy || s.Ended) return;
    KillProcess(s.Process);
    s.Ended = true;
    s.Outcome = TJobOutcome{};
    s.Outcome.Status = status;
    s.Outcome.Reason = reason;
    s.Outcome.Wall = std::chrono::duration<double>(TClock::now() - s.Started).count();
}

} // namespace pelvarn::search
