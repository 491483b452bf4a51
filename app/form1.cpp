// The run controller of the main window: creation, the job folder, and the START, RESUME and
// PAUSE buttons that move the run between its states.
#include "app/form1.h"

#include <memory>
#include <utility>

#include "base/paths.h"
#include "base/prng.h"
#include "platform/fileio.h"
#include "platform/xwutil.h"
#include "sti/stiUtils.h"

namespace pelvarn {

namespace {

const char* const InitialStiName = "initial.sti";
const char* const JobRunningText =
    "DOS job is still running.\r\nWait for it to finish,\r\nor close it manually.";
const char* const NothingAlteredText = "Nothing is being altered";
const char* const LockFileName = "pelvarn.lock";

} // namespace

TForm1::TForm1(TForm1View& view, TProcessRunner& runner, TJobCommand command, std::string exeFolder)
    : ExeFolder(std::move(exeFolder)), CurrentPtr(std::make_unique<TSubInfo>()),
      BestPtr(std::make_unique<TSubInfo>()), Current(*CurrentPtr), Best(*BestPtr),
      Command(std::move(command)), View(view), Runner(runner) {
    ResetOrder(CurrentOrder);
    ResetOrder(BestOrder);
}

TForm1::~TForm1() = default;

void TForm1::FormCreate(std::uint32_t seedMilliseconds) {
    View.ClearLog();
    for (TControlId id : {TControlId::JobLabel, TControlId::BestJobLabel, TControlId::WorstJobLabel,
                          TControlId::InitialTimeLabel, TControlId::InfoLabel})
        View.SetCaption(id, "");
    BestTime = 2147483648.0f;
    WorstTime = -1.0f;
    ProgramRandom().SetSeed(seedMilliseconds);
    View.SetTimerEnabled(false);
    View.SetEnabled(TControlId::StartBtn, false);
    View.SetEnabled(TControlId::RESTARTBtn, false);
    View.SetEnabled(TControlId::PauseBtn, false);
    SetJobFolder(JoinPath(ExeFolder, "model"));
    // Bottom of StartBtn + 5 and right edge of IncludeRadioGroup + 5.
    View.SetClientSize(369 + 176 + 5, 310 + 21 + 5);
}

void TForm1::SetInfo(const std::string& text) {
    View.SetCaption(TControlId::InfoLabel, text);
}

void TForm1::SetJobFolder(const std::string& folder) {
    if (FolderLock.IsLocked() && folder != JobFolder) FolderLock.Unlock();
    const std::string batchFile = JoinPath(folder, Command.BatchFileName);
    // The drive is asked first, so a card or stick that is not ready never brings up the
    // system's "insert a disk" box.
    if (!folder.empty() && SafeFileExists(batchFile) &&
        SafeFileExists(JoinPath(folder, InitialStiName))) {
        JobFolder = folder;
        View.SetCaption(TControlId::BatchLabel, "Batch file: " + batchFile);
        View.SetEnabled(TControlId::StartBtn, true);
    } else {
        View.SetCaption(TControlId::BatchLabel, "Batch file: NOT SPECIFIED");
        JobFolder.clear();
        View.SetEnabled(TControlId::StartBtn, false);
        View.SetEnabled(TControlId::RESTARTBtn, false);
        View.SetEnabled(TControlId::PauseBtn, false);
    }
}

bool TForm1::LockJobFolder() {
    const std::string lockFile = JoinPath(JobFolder, LockFileName);
    if (FolderLock.IsLocked() && FolderLock.Path() == lockFile) return true;
    std::string why;
    switch (FolderLock.TryLock(lockFile, why)) {
    case TFileLock::TResult::Locked:
        return true;
    case TFileLock::TResult::HeldElsewhere:
        View.ShowMessage("Another search is running in the job folder\r\n" + JobFolder +
                             "\r\nOnly one search at a time can use a job folder.",
                         TMsgKind::Error, TMsgButtons::OkHelp, HcJobRunning);
        return false;
    case TFileLock::TResult::Failed:
        break;
    }
    throw TFileError("Cannot lock file " + lockFile + ": " + why);
}

bool TForm1::ReadStrategies() {
    OrderStrategy = View.GetRadioIndex(TControlId::OrderRadioGroup);
    IncludeStrategy = View.GetRadioIndex(TControlId::IncludeRadioGroup);
    return OrderStrategy > 0 || IncludeStrategy > 0;
}

void TForm1::PauseRun() {
    View.SetTimerEnabled(false);
    View.BringToFront();
    SetInfo("Paused");
    PauseRequested = false;
    View.SetEnabled(TControlId::StartBtn, true);
    View.SetEnabled(TControlId::RESTARTBtn, JobCount > 0);
    View.SetEnabled(TControlId::PauseBtn, false);
    View.SetEnabled(TControlId::BatchBtn, true);
}

void TForm1::BatchBtnClick() {
    std::string chosen;
    const std::string& batchName = Command.BatchFileName;
    if (!View.ChooseFile(batchName, batchName + "|" + batchName, chosen)) return;
    const std::string folder = FileFolder(chosen);
    if (LowerFileName(FileNamePart(chosen)) != LowerFileName(batchName)) {
        View.ShowMessage("You must select a file named pelvrn.bat", TMsgKind::Error,
                         TMsgButtons::OkHelp, HcChooseBatch);
    } else if (!SafeFileExists(JoinPath(folder, InitialStiName))) {
        View.ShowMessage("You must select a folder containing a file named initial.sti",
                         TMsgKind::Error, TMsgButtons::OkHelp, HcChooseBatch);
    } else {
        SetJobFolder(folder);
    }
}

void TForm1::StartBtnClick() {
    if (!Runner.Ended(JobProcess)) {
        View.ShowMessage(JobRunningText, TMsgKind::Information, TMsgButtons::OkHelp, HcJobRunning);
        return;
    }
    // A job folder on a drive that is no longer ready (or a folder that is gone) is refused
    // before anything of the run is touched, so RESUME still works once it is back.
    if (!SafeDirExists(JobFolder)) {
        View.ShowMessage("Error:\r\nCannot reach the job folder\r\n" + JobFolder +
                             "\r\nIs its drive ready?",
                         TMsgKind::Error, TMsgButtons::OkHelp, HcStiRefused);
        return;
    }
    if (!LockJobFolder()) return;
    JobCount = 0;
    ChangeText = "original initial.sti";
    View.ClearLog();
    // What a writer killed in the middle of a save left behind.
    RemoveLeftoverTempFiles(JobFolder);

    // A refused or unreadable initial.sti has cleared the parts kept around the condensation
    // section, so the earlier run cannot be resumed any more: RESUME follows JobCount (now 0).
    std::string reason;
    bool ok = false;
    try {
        ok = ReadSTIFile(JoinPath(JobFolder, InitialStiName), Current, RecordCount, reason);
    } catch (...) {
        View.SetEnabled(TControlId::RESTARTBtn, false);
        throw;
    }
    if (!ok) {
        View.SetEnabled(TControlId::RESTARTBtn, false);
        View.ShowMessage("Error:\r\n" + reason, TMsgKind::Error, TMsgButtons::OkHelp, HcStiRefused);
        return;
    }

    AlterPos = ProgramRandom().Below(RecordCount);
    ResetOrder(CurrentOrder);
    Best = Current;
    BestOrder = CurrentOrder;
    NothingToAlterLogged = false;
    if (!ReadStrategies()) {
        View.ShowMessage(NothingAlteredText, TMsgKind::Warning, TMsgButtons::OkHelp,
                         HcNothingAltered);
        return;
    }
    PauseRequested = false;
    LaunchJob();
}

void TForm1::RESTARTBtnClick() {
    if (!ReadStrategies()) {
        View.ShowMessage(NothingAlteredText, TMsgKind::Warning, TMsgButtons::OkHelp,
                         HcNothingAltered);
        return;
    }
    if (!Runner.Ended(JobProcess)) {
        View.ShowMessage(JobRunningText, TMsgKind::Information, TMsgButtons::OkHelp, HcJobRunning);
        return;
    }
    if (!LockJobFolder()) return;
    PauseRequested = false;
    NextCandidate();
}

void TForm1::PauseBtnClick() {
    PauseRequested = true;
    View.SetEnabled(TControlId::StartBtn, true);
    View.SetEnabled(TControlId::BatchBtn, true);
    View.SetEnabled(TControlId::RESTARTBtn, JobCount > 0);
    View.SetEnabled(TControlId::PauseBtn, false);
    View.ShowMessage("If DOS job is running,\r\nwait for it to finish,\r\nor close it manually.",
                     TMsgKind::Information, TMsgButtons::OkHelp, HcJobRunning);
}

void TForm1::HelpBtnClick() {
    View.ShowHelpContents();
}

void TForm1::Image1Click() {
    View.ShowAbout();
}

void TForm1::CopyLogBtnClick() {
    View.CopyLogToClipboard();
}

void TForm1::Quit1Click() {
    View.Close();
}

} // namespace pelvarn
