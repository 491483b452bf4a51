// A recording fake of the main window, a process runner whose jobs end when the test says,
// and the fixture that puts a job folder with pelvrn.bat and initial.sti beside a TForm1.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "app/form1.h"
#include "base/paths.h"
#include "support/tempdir.h"

namespace pelvarn::test {

// A record with the given name, flags and status.
inline TSubRecord Rec(const std::string& name, bool mustSee, bool mustSub, std::int32_t stat) {
    TSubRecord r;
    r.VarName = name;
    r.MustSee = mustSee;
    r.MustSub = mustSub;
    r.SubStat = stat;
    return r;
}

struct TShownMessage {
    std::string Text;
    TMsgKind Kind;
    TMsgButtons Buttons;
    int HelpContext;
    bool TimerWasOn;
};

class TFakeView : public TForm1View {
  public:
    std::map<TControlId, std::string> Captions;
    std::map<TControlId, bool> Enabled; // a control not yet touched is enabled, as in a window
    int IncludeIndex = 0;
    int OrderIndex = 2;
    bool StayOnTop = false;
    bool RunMinimized = false;
    std::vector<std::string> Log;
    bool TimerOn = false;
    std::vector<TShownMessage> Messages;
    // What the open dialog answers.
    bool ChooseAnswer = false;
    std::string ChoosePath;
    std::string AskedFileName, AskedFilter;
    int FrontCount = 0, AboutCount = 0, HelpCount = 0, CloseCount = 0, CopyCount = 0;
    int ClientWidth = 0, ClientHeight = 0;

    void SetCaption(TControlId id, const std::string& text) override { Captions[id] = text; }
    std::string GetCaption(TControlId id) override { return Captions[id]; }
    void SetEnabled(TControlId id, bool enabled) override { Enabled[id] = enabled; }
    bool IsEnabled(TControlId id) override {
        auto it = Enabled.find(id);
        return it == Enabled.end() || it->second;
    }
    int GetRadioIndex(TControlId group) override {
        return group == TControlId::IncludeRadioGroup ? IncludeIndex : OrderIndex;
    }
    bool IsChecked(TControlId box) override {
        return box == TControlId::StayOnTopCheckBox ? StayOnTop : RunMinimized;
    }
    void ClearLog() override { Log.clear(); }
    void AppendLog(const std::string& line) override { Log.push_back(line); }
    void CopyLogToClipboard() override { ++CopyCount; }
    void SetTimerEnabled(bool enabled) override { TimerOn = enabled; }
    bool IsTimerEnabled() override { return TimerOn; }
    void ShowMessage(const std::string& text, TMsgKind kind, TMsgButtons buttons,
                     int helpContext) override {
        Messages.push_back({text, kind, buttons, helpContext, TimerOn});
    }
    bool ChooseFile(const std::string& fileName, const std::string& filter,
                    std::string& chosenPath) override {
        AskedFileName = fileName;
        AskedFilter = filter;
        if (ChooseAnswer) chosenPath = ChoosePath;
        return ChooseAnswer;
    }
    void BringToFront() override { ++FrontCount; }
    void SetClientSize(int width, int height) override {
        ClientWidth = width;
        ClientHeight = height;
    }
    void ShowAbout() override { ++AboutCount; }
    void ShowHelpContents() override { ++HelpCount; }
    void Close() override { ++CloseCount; }
};

struct TStartCall {
    std::string Title, Program, Params, WorkDir;
    int ShowCmd;
};

class TFakeRunner : public TProcessRunner {
  public:
    std::vector<TStartCall> Starts;
    bool FailStart = false;
    TExitStatus EndStatus; // how an ended job ended, as EndedWithStatus tells it

    bool Start(const std::string& title, const std::string& program, const std::string& params,
               const std::string& workDir, int showCmd, ProcInfo& info) override {
        Starts.push_back({title, program, params, workDir, showCmd});
        if (FailStart) return false;
        info = ProcInfo{};
        info.ProcessId = ++LastPid;
        Running.insert(info.ProcessId);
        return true;
    }
    bool Ended(ProcInfo& info) override {
        if (info.IsZero()) return true;
        if (Running.count(info.ProcessId)) return false;
        info = ProcInfo{};
        return true;
    }
    bool EndedWithStatus(ProcInfo& info, TExitStatus& exit) override {
        exit = TExitStatus{};
        if (!Ended(info)) return false;
        exit = EndStatus;
        return true;
    }
    void EndAll() { Running.clear(); }
    bool AnyRunning() const { return !Running.empty(); }

  private:
    std::uint32_t LastPid = 100;
    std::set<std::uint32_t> Running;
};

// The enabled buttons and the timer: together they name the run's state.
struct TButtons {
    bool Timer, Start, Resume, Pause, Change;
    bool operator==(const TButtons&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const TButtons& b) {
    return os << "{timer " << b.Timer << ", START " << b.Start << ", RESUME " << b.Resume
              << ", PAUSE " << b.Pause << ", Change " << b.Change << "}";
}

inline constexpr TButtons NoFolderState{false, false, false, false, true};
inline constexpr TButtons RunningState{true, false, false, true, false};
inline constexpr TButtons StalledState{false, false, false, true, false};
inline TButtons PausedState(bool resume) {
    return {false, true, resume, false, true};
}
inline TButtons PauseAskedState(bool resume) {
    return {true, true, resume, false, true};
}

// Four records: a plain one, a backsolved one (MustSee), a MUSTSUB one and one left out.
inline const char* const FourRecordSti = "header line\r\n"
                                         "!pelvarnbegin\r\n"
                                         "s\r\nx1\r\neq1\r\n"
                                         "b\r\nx2\r\neq2\r\n"
                                         "s ! MUSTSUB\r\nx3\r\neq3\r\n"
                                         "!s\r\n!x4\r\n!eq4\r\n"
                                         "!pelvarnend\r\n"
                                         "tail line\r\n";

// Members are public so that table-driven cases can arrange the fixture from lambdas.
class TRunTest : public testing::Test {
  public:
    TTempDir Dir;
    std::string Model = JoinPath(Dir.Path(), "model");
    TFakeView View;
    TFakeRunner Runner;
    std::unique_ptr<TForm1> Form;

    TRunTest() { std::filesystem::create_directories(Model); }

    std::string ModelFile(const std::string& name) const { return JoinPath(Model, name); }
    void WriteFile(const std::string& name, const std::string& bytes) const {
        std::ofstream out(ModelFile(name), std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(ModelFile(name)); }
    void WriteModel(const std::string& sti = FourRecordSti) {
        WriteFile("pelvrn.bat", "rem job\r\n");
        WriteFile("initial.sti", sti);
    }
    // The form as the program creates it, beside the model folder.
    void Create(std::uint32_t seed = 12345) {
        Form = std::make_unique<TForm1>(
            View, Runner, TJobCommand{"interp", "/c pelvrn.bat ", "pelvrn.bat"}, Dir.Path());
        Form->FormCreate(seed);
    }
    void CreateWithModel(const std::string& sti = FourRecordSti, std::uint32_t seed = 12345) {
        WriteModel(sti);
        Create(seed);
    }
    // The running job ends having written what a job writes.
    void EndJob(const std::string& cpuText, bool writeSl4 = true) {
        WriteFile("run.log", "solving...\r\nTotal CPU is " + cpuText + " seconds\r\n");
        if (writeSl4) WriteFile("pelvrn.sl4", "solution");
        Runner.EndAll();
    }
    // Ends the running job and delivers the tick that sees it.
    void FinishJob(const std::string& cpuText) {
        EndJob(cpuText);
        Form->DosJobTimerTimer();
    }
    // START, then the first tick of job 0 (still running).
    void StartRun() {
        Form->StartBtnClick();
        Form->DosJobTimerTimer();
    }
    TButtons Buttons() {
        return {View.TimerOn, View.IsEnabled(TControlId::StartBtn),
                View.IsEnabled(TControlId::RESTARTBtn), View.IsEnabled(TControlId::PauseBtn),
                View.IsEnabled(TControlId::BatchBtn)};
    }
    std::string Caption(TControlId id) { return View.Captions[id]; }
};

} // namespace pelvarn::test
