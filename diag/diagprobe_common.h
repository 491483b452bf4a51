// Inside the diagnostics: what every system's probe answers the same way, through the
// platform layer (files, processes, the start-up snapshot).
#pragma once

#include "diag/diagprobe.h"

namespace pelvarn::diag_detail {

class TCommonProbe : public TDiagProbe {
  public:
    bool FileExists(const std::string& path) override;
    bool ReadLines(const std::string& path, std::vector<std::string>& lines) override;
    bool WriteLines(const std::string& path, const std::vector<std::string>& lines) override;
    void RemoveFile(const std::string& path) override;
    std::string FileDateText(const std::string& path) override;
    void ExeSig(const std::string& path, std::string& signature, std::string& flavour) override;
    std::string LaaText(const std::string& path) override;
    std::string LowerFileName(const std::string& name) override;
    bool StartProcess(const std::string& program, const std::string& params,
                      const std::string& workDir, int showCmd, ProcInfo& info,
                      std::string& errorText) override;
    bool ProcessEnded(ProcInfo& info) override;
    void ReleaseProcess(ProcInfo& info) override;
    bool RunAndWait(const std::string& program, const std::string& params,
                    const std::string& workDir, int showCmd) override;
    std::string EnvVar(const std::string& name) override;
    std::string ComSpec() override;
    std::string WineVersion() override;
    int ProcessorCount() override;
    std::string SuiteFolder() override;
    std::string TempFolder() override;
    std::string SpecialFolders() override;
    std::string KVRegKeyText(const std::string& name) override;
};

} // namespace pelvarn::diag_detail
