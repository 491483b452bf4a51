// The job cycle: write the candidate, launch the batch job, poll it from the timer, read its
// CPU time, keep the best and the worst, and go on with the next candidate.
#include <string>

#include "app/form1.h"
#include "base/paths.h"
#include "base/textutil.h"
#include "platform/fileio.h"
#include "sti/cputime.h"
#include "sti/stiUtils.h"

namespace pelvarn {

namespace {

const char* const WorstMark = " !!!!!!!!! worst yet";
const char* const BestMark = " ********* best yet";

// A message's further line naming a signal or crash that ended the job, if one did.
std::string HowItEnded(const TExitStatus& exit) {
    std::string text = AbnormalEndText(exit);
    return text.empty() ? "" : "\r\n" + text;
}

} // namespace

void TForm1::LaunchJob() {
    // Only a successful launch runs the timer: a launch that stops early (a bad record, a
    // failed write) must not leave a tick behind that would take the last job's files for
    // this one's.
    View.SetTimerEnabled(false);
    if (!CheckRecords("Start of LaunchJob")) return;
    ExpectedFile = JoinPath(JobFolder, "pelvrn.sl4");
    RunLogFile = JoinPath(JobFolder, "run.log");
    DeleteFileQuietly(ExpectedFile);
    // A log left by an earlier job would be read as this job's when this one writes none.
    if (std::string why; !DeleteFileIfPresent(RunLogFile, why))
        throw TFileError("Cannot delete file " + RunLogFile + ": " + why);
    JobName = "Job" + std::to_string(JobCount);
    WriteSTIFile(JoinPath(JobFolder, JobName), Current, RecordCount, CurrentOrder);
    View.SetCaption(TControlId::JobLabel, JobName);

    const std::string params = Command.ParamsPrefix + JobName;
    const int showCmd =
        View.IsChecked(TControlId::RunMinimizedCheckBox) ? SW_ShowMinNoActive : SW_ShowNormal;
    if (Runner.Start("Pelvarn", Command.Interpreter, params, JobFolder, showCmd, JobProcess)) {
        Elapsed = 0;
        View.SetTimerEnabled(true);
        if (View.IsChecked(TControlId::StayOnTopCheckBox)) View.BringToFront();
    } else {
        View.ShowMessage("Could not launch Job !\r\n" + Command.Interpreter + "\r\n" + params +
                             "\r\n" + JobFolder,
                         TMsgKind::Error, TMsgButtons::OkHelp, HcLaunchFailed);
        PauseRun();
    }
}

void TForm1::DosJobTimerTimer() {
    if (PauseRequested) {
        PauseRun();
        return;
    }
    if (View.IsChecked(TControlId::StayOnTopCheckBox)) View.BringToFront();
    View.SetEnabled(TControlId::StartBtn, false);
    View.SetEnabled(TControlId::RESTARTBtn, false);
    View.SetEnabled(TControlId::PauseBtn, true);
    View.SetEnabled(TControlId::BatchBtn, false);

    Elapsed = Elapsed + static_cast<float>(TimerIntervalMs) / 1000.0f;
    if (Elapsed > TimeLimitSeconds) {
        View.SetTimerEnabled(false);
        View.ShowMessage("Timed out - took too long", TMsgKind::Warning, TMsgButtons::OkHelp,
                         HcExpectedFile);
        PauseRun();
        return;
    }
    View.SetCaption(TControlId::JobLabel,
                    JobName + " " + std::to_string(RoundHalfEven(Elapsed)) + " seconds");
    if (!Runner.EndedWithStatus(JobProcess, JobExit)) return;

    // The job has ended.
    View.SetTimerEnabled(false);
    std::string mark;
    if (View.IsChecked(TControlId::StayOnTopCheckBox)) View.BringToFront();
    if (!FileExists(RunLogFile)) {
        View.ShowMessage("job did not produce expected file\r\n" + RunLogFile + HowItEnded(JobExit),
                         TMsgKind::Error, TMsgButtons::OkHelp, HcExpectedFile);
        PauseRun();
        return;
    }
    if (!FileExists(ExpectedFile)) {
        View.ShowMessage("job did not produce expected file\r\n" + ExpectedFile +
                             HowItEnded(JobExit),
                         TMsgKind::Warning, TMsgButtons::OkHelp, HcExpectedFile);
        PauseRun();
        return;
    }
    SetInfo("successfully made " + ExpectedFile);

    float seconds = 0;
    std::string reason;
    if (!GetCPUTime(RunLogFile, seconds, reason)) {
        View.ShowMessage("problem getting run time\r\n" + reason + HowItEnded(JobExit),
                         TMsgKind::Error, TMsgButtons::OkHelp, HcRunTime);
        PauseRun();
        return;
    }
    const std::string timeText = FormatFixed(seconds, 1);

    if (seconds > WorstTime) {
        WorstTime = seconds;
        View.SetCaption(TControlId::WorstJobLabel,
                        "Worst job is " + JobName + " " + timeText + " secs");
        mark = WorstMark;
    }
    if (JobCount <= 1)
        View.SetCaption(TControlId::InitialTimeLabel, "INITIAL.STI time = " + timeText + " secs");
    bool save = false;
    if (seconds < BestTime) {
        BestTime = seconds;
        View.SetCaption(TControlId::BestJobLabel,
                        "Best job is " + JobName + " " + timeText + " secs");
        Best = Current;
        BestOrder = CurrentOrder;
        save = JobCount > 1;
        mark = BestMark;
    }
    View.AppendLog(JobName + " " + timeText + " secs " + ChangeText + mark);
    if (OnJobTimed) {
        TJobResult result;
        result.JobCount = JobCount;
        result.JobName = JobName;
        result.Seconds = seconds;
        result.TimeText = timeText;
        result.ChangeText = ChangeText;
        result.Mark = mark;
        result.BestTime = BestTime;
        OnJobTimed(result);
    }
    if (save) {
        const std::string optimal = JoinPath(JobFolder, "optimal.sti");
        try {
            WriteSTIFile(optimal, Current, RecordCount, CurrentOrder, true);
        } catch (const TFileError& e) {
            throw TFileError(std::string(e.what()) +
                             "\r\nThe new best was not saved; optimal.sti and optimal.cnd are "
                             "left as they were.");
        }
        View.AppendLog("Improved condensation saved as file " + optimal);
    }
    if (View.IsChecked(TControlId::StayOnTopCheckBox)) View.BringToFront();
    if (StopBeforeNextCandidate && StopBeforeNextCandidate()) {
        PauseRun();
        return;
    }
    SetInfo("Launching next job...");
    NextCandidate();
}

} // namespace pelvarn
