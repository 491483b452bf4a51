// The probe's answers that go through the platform layer alike on every system.
#include "diag/diagprobe_common.h"

#include "base/paths.h"
#include "base/textutil.h"
#include "diag/exesig.h"
#include "platform/fileio.h"
#include "platform/locdirs.h"
#include "platform/twtask.h"
#include "platform/xwutil.h"
#include "sti/txtfile.h"

namespace pelvarn::diag_detail {

bool TCommonProbe::FileExists(const std::string& path) {
    return SafeFileExists(path);
}

bool TCommonProbe::ReadLines(const std::string& path, std::vector<std::string>& lines) {
    lines.clear();
    try {
        TTextFile file;
        std::string message;
        if (!file.TryOpen(path, message)) return false;
        std::string line;
        while (file.ReadLine(line))
            lines.push_back(line);
        file.Close();
        return true;
    } catch (const TFileError&) {
        return false;
    }
}

bool TCommonProbe::WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    try {
        ReplaceFileContents(path, text);
        return true;
    } catch (const TFileError&) {
        return false;
    }
}

void TCommonProbe::RemoveFile(const std::string& path) {
    DeleteFileQuietly(path);
}

std::string TCommonProbe::FileDateText(const std::string& path) {
    return pelvarn::FileDateText(path);
}

void TCommonProbe::ExeSig(const std::string& path, std::string& signature, std::string& flavour) {
    GetExeSig(path, signature, flavour);
}

std::string TCommonProbe::LaaText(const std::string& path) {
    return pelvarn::LaaText(path);
}

std::string TCommonProbe::LowerFileName(const std::string& name) {
    return pelvarn::LowerFileName(name);
}

bool TCommonProbe::StartProcess(const std::string& program, const std::string& params,
                                const std::string& workDir, int showCmd, ProcInfo& info,
                                std::string& errorText) {
    return pelvarn::StartProcess("", program, params, workDir, showCmd, info, errorText);
}

bool TCommonProbe::ProcessEnded(ProcInfo& info) {
    return pelvarn::ProcessEnded(info);
}

void TCommonProbe::ReleaseProcess(ProcInfo& info) {
    pelvarn::ReleaseProcess(info);
}

bool TCommonProbe::RunAndWait(const std::string& program, const std::string& params,
                              const std::string& workDir, int showCmd) {
    std::uint32_t exitCode = 0;
    return twtask::RunCmdTimed(program, params, workDir, showCmd, 0, exitCode);
}

std::string TCommonProbe::EnvVar(const std::string& name) {
    std::string value = GetEnvText(name, "");
#ifndef _WIN32
    if (value.empty()) value = GetEnvText(AsciiUpper(name), "");
#endif
    return value;
}

std::string TCommonProbe::ComSpec() {
    return pelvarn::ComSpec();
}

std::string TCommonProbe::WineVersion() {
    return pelvarn::WineVersion();
}

int TCommonProbe::ProcessorCount() {
    return pelvarn::ProcessorCount();
}

std::string TCommonProbe::SuiteFolder() {
    return pelvarn::SuiteFolder();
}

std::string TCommonProbe::TempFolder() {
    return pelvarn::TempFolder();
}

std::string TCommonProbe::SpecialFolders() {
    return FolderReport();
}

std::string TCommonProbe::KVRegKeyText(const std::string& name) {
    return {};
}

} // namespace pelvarn::diag_detail
