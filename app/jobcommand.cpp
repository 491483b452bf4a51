// The platform's job command and the process runner over the real platform functions.
#include "app/form1.h"
#include "base/paths.h"
#include "platform/process.h"
#include "platform/xwutil.h"

namespace pelvarn {

TJobCommand DefaultJobCommand() {
    if constexpr (PathDelim == '\\')
        return {ComSpec(), "/c pelvrn.bat ", "pelvrn.bat"};
    else
        return {"/bin/sh", "pelvrn.sh ", "pelvrn.sh"};
}

namespace {

class TSystemProcessRunner final : public TProcessRunner {
  public:
    bool Start(const std::string& title, const std::string& program, const std::string& params,
               const std::string& workDir, int showCmd, ProcInfo& info) override {
        return StartProcessMsg(title, program, params, workDir, showCmd, info);
    }
    bool Ended(ProcInfo& info) override { return ProcessEnded(info); }
    bool EndedWithStatus(ProcInfo& info, TExitStatus& exit) override {
        return ProcessEnded(info, exit);
    }
};

} // namespace

TProcessRunner& SystemProcessRunner() {
    static TSystemProcessRunner runner;
    return runner;
}

} // namespace pelvarn
