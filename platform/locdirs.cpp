// The portable part of locdirs: the table of kinds, normalisation and the folder table.
#include "platform/locdirs.h"

#include <array>

#include "base/paths.h"
#include "base/textutil.h"
#include "platform/locdirs_os.h"
#include "platform/msgbox.h"
#include "platform/xwutil.h"

namespace pelvarn {

namespace {

using TLabels = std::array<std::string, FolderKindCount>;

TLabels& Labels() {
    static TLabels labels = {
        "Named Folder", "Windows Folder",  "TMP Folder",        "TEMP Folder",
        "SYSTEMDRIVE",  "KVTEMP Folder",   "KVKEEP Folder",     "C:\\TEMP",
        "KVDIR Folder", "C:\\KV",          "Current Directory", "Application Folder",
        "C:\\",         "HOMEPATH Folder", "User Folder",       "AppData Folder",
    };
    return labels;
}

constexpr const char* ProbeFileName = "g_we8~2.$@$";

} // namespace

std::string SystemDriveOf(std::string_view WindowsFolder) {
    if (WindowsFolder.size() < 2 || WindowsFolder[1] != ':') return "C:";
    return AsciiUpper(WindowsFolder.substr(0, 2));
}

std::string OnSystemDrive(std::string_view Label, std::string_view Drive) {
    if (!StartsWith(Label, "C:")) return std::string(Label);
    return std::string(Drive) + std::string(Label.substr(2));
}

void InitLocDirs() {
    static int starts = 0;
    if (starts++ > 0) return;
    const std::string drive = SystemDriveOf(locdirs_detail::WindowsFolder());
    if (drive == "C:") return;
    for (auto& label : Labels())
        label = OnSystemDrive(label, drive);
}

std::string FolderLabel(int Kind) {
    InitLocDirs();
    if (Kind < 0 || Kind >= FolderKindCount) return "";
    return Labels()[Kind];
}

std::string LocEnvText(const std::string& Name) {
    return locdirs_detail::EnvValue(Name);
}

std::string NormaliseFolderText(std::string_view Raw, char Delim) {
    std::string s = Trim(Raw);
    if (s.empty()) return s;
    const bool windows = Delim == '\\';
    if (windows && s.size() == 2 && s[1] == ':') {
        s += '\\';
    } else if (windows && s.size() == 3 && s[1] == ':' && s[2] == '\\') {
        // a drive root keeps its backslash
    } else if (s != std::string(1, Delim)) {
        s = NoTrailingBackslash(s, Delim);
    }
    return Trim(s);
}

std::string ResolveFolder(int Kind, const std::string& Name) {
    InitLocDirs();
    std::string raw;
    switch (Kind) {
    case fkNamed:
        raw = Name;
        break;
    case fkTmp:
        raw = LocEnvText("TMP");
        break;
    case fkTemp:
        raw = LocEnvText("TEMP");
        break;
    case fkSystemDrive:
        raw = LocEnvText("SYSTEMDRIVE");
        break;
    case fkKvTemp:
        raw = LocEnvText("KVTEMP");
        break;
    case fkKvKeep:
        raw = LocEnvText("KVKEEP");
        break;
    case fkKvDir:
        raw = LocEnvText("KVDIR");
        break;
    case fkHomePath:
        raw = LocEnvText("HOMEDRIVE") + LocEnvText("HOMEPATH");
        break;
    case fkFixedTemp:
    case fkFixedKv:
    case fkDriveRoot:
        raw = Labels()[Kind];
        break;
    case fkWindows:
    case fkCurrent:
    case fkApplication:
    case fkUser:
    case fkAppData:
        raw = locdirs_detail::SystemFolder(Kind);
        break;
    default:
        ErrorBox("program error: unexpected case of sdt");
        return "";
    }
    if (!locdirs_detail::KindExists(Kind)) return "";
    const std::string folder = NormaliseFolderText(raw, locdirs_detail::Delim());
    if (folder.empty()) return "";
    return locdirs_detail::FullPath(folder);
}

bool FolderWriteable(const std::string& Folder) {
    const std::string folder = Trim(Folder);
    if (folder.empty() || !SafeDirExists(folder)) return false;
    const char delim = locdirs_detail::Delim();
    const std::string probe =
        folder + (folder.back() == delim ? "" : std::string(1, delim)) + ProbeFileName;
    return locdirs_detail::ProbeWrite(probe);
}

std::string FolderReportLine(const std::string& Label, const std::string& Folder, bool Exists,
                             bool Writeable) {
    std::string line = PadRight(Label, 16) + "\t";
    if (Folder.empty()) return line + "UNDEFINED\r\n";
    line += PadRight(Folder, 17) + "\t";
    if (!Exists) return line + "  NonExistent\r\n";
    return line + "  Exists," + (Writeable ? " Writeable" : " Non-Writeable") + "\r\n";
}

std::string FolderReport() {
    InitLocDirs();
    std::string report;
    for (int kind = 1; kind < FolderKindCount; ++kind) {
        if (!locdirs_detail::KindExists(kind)) continue;
        const std::string folder = ResolveFolder(kind);
        const bool exists = !folder.empty() && SafeDirExists(folder);
        report +=
            FolderReportLine(Labels()[kind], folder, exists, exists && FolderWriteable(folder));
    }
    return report;
}

} // namespace pelvarn
