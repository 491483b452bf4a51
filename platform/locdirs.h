// The sixteen kinds of folder that the diagnostics report describes (the Windows folder,
// temporary folders, the suite's folders named by environment variables, the current and
// program folders, the user's folders), each resolved to a normalised full path, with an
// existence and a write test for the folder table of the report.
#pragma once

#include <string>
#include <string_view>

namespace pelvarn {

// Kinds of folder; the labels of the three fixed folders (7, 9, 12) are also their values.
enum TFolderKind : int {
    fkNamed = 0,   // "Named Folder": the name the caller passes
    fkWindows,     // "Windows Folder"
    fkTmp,         // "TMP Folder"
    fkTemp,        // "TEMP Folder"
    fkSystemDrive, // "SYSTEMDRIVE"
    fkKvTemp,      // "KVTEMP Folder"
    fkKvKeep,      // "KVKEEP Folder"
    fkFixedTemp,   // "C:\TEMP"
    fkKvDir,       // "KVDIR Folder"
    fkFixedKv,     // "C:\KV"
    fkCurrent,     // "Current Directory"
    fkApplication, // "Application Folder"
    fkDriveRoot,   // "C:\"
    fkHomePath,    // "HOMEPATH Folder": HOMEDRIVE followed by HOMEPATH
    fkUser,        // "User Folder": the user's documents (POSIX: HOME)
    fkAppData,     // "AppData Folder"
};
inline constexpr int FolderKindCount = 16;

// Puts the drive that holds Windows into the labels of the fixed folders, once; every other
// function here calls it first, so calling it at start-up only fixes the moment.
void InitLocDirs();

// The label of a kind ("" outside 0-15).
std::string FolderLabel(int Kind);

// The folder of a kind, normalised (see NormaliseFolderText) and expanded to a full path
// against the current folder; empty when it is not defined. A kind outside 0-15 shows the
// error box "program error: unexpected case of sdt" and gives empty. On POSIX the kinds that
// have no meaning there (Windows folder, drives, shell folders) give empty.
std::string ResolveFolder(int Kind, const std::string& Name = "");

// True when a probe file ("g_we8~2.$@$") can be created, closed and deleted in Folder.
bool FolderWriteable(const std::string& Folder);

// The folder table: for kinds 1 to 15 (on POSIX only those that exist there) the label
// padded to 16 and a tab; then "UNDEFINED", or the folder padded to 17, a tab and
// "  Exists, Writeable", "  Exists, Non-Writeable" or "  NonExistent". Lines end CR LF.
std::string FolderReport();

// An environment variable read with a 2048-character buffer: a value that does not fit, or
// an absent one, is empty.
std::string LocEnvText(const std::string& Name);

// The parts of the above that are the same on every system, testable everywhere:
// The system drive from the Windows folder: its first two characters upper-cased when the
// second is a colon, else "C:".
std::string SystemDriveOf(std::string_view WindowsFolder);
// Label with a leading "C:" replaced by Drive.
std::string OnSystemDrive(std::string_view Label, std::string_view Drive);
// Trimmed; with delim '\\' a bare drive ("X:") gets a backslash and a drive root ("X:\")
// stays; any other value (a lone "/" excepted) loses one trailing separator; trimmed again.
std::string NormaliseFolderText(std::string_view Raw, char Delim);
// One line of the folder table (Folder "" gives the "UNDEFINED" line).
std::string FolderReportLine(const std::string& Label, const std::string& Folder, bool Exists,
                             bool Writeable);

} // namespace pelvarn
