// TxwDiagForm: the diagnostics report in a read-only memo, to copy or to save.
#include <windows.h>

#include <commdlg.h>

#include <vector>

#include "app/aboutbox_win32.h"
#include "app/modalform_win32.h"
#include "diag/diagreport.h"
#include "platform/SafeClip.h"
#include "platform/fileio.h"
#include "platform/xwutil.h"

namespace pelvarn {

namespace {

constexpr int Panel1Id = 100, Label1Id = 101, Memo1Id = 102, CopyBtnId = 103, SaveBtnId = 104;

constexpr const char* IntroText =
    "If you would like to report a problem, please copy the contents of the memo below into "
    "your email describing the problem, or save the contents as a file and attach it.";

class TxwDiagForm final : public TModalForm {
  public:
    TxwDiagForm(HINSTANCE instance, HWND owner, std::string report)
        : TModalForm(instance, owner), Report(std::move(report)) {}

  protected:
    void OnCreate() override {
        // Memo1 as wide as the client less twice its left offset; the panel as wide as the
        // memo, the label as wide as the panel's inside less twice its offset.
        const int margin = 8, width = 589 - 2 * margin;
        Make("STATIC", "", SS_ETCHEDFRAME, 0, margin, margin, width, 52, Panel1Id);
        Label1 = Make("STATIC", IntroText, SS_LEFT | SS_NOPREFIX, 0, margin + 8, margin + 8,
                      width - 16, 38, Label1Id);
        Memo1 = Make("EDIT", "",
                     ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL |
                         WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
                     WS_EX_CLIENTEDGE, margin, 68, width, 472, Memo1Id);
        if (Memo1) {
            SendMessageA(Memo1, EM_SETLIMITTEXT, 0, 0);
            SetWindowTextA(Memo1, Report.c_str());
        }
        OkBtn = Make("BUTTON", "&OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, margin, 548, 75, 25, IDOK);
        Make("BUTTON", "&Copy", BS_PUSHBUTTON | WS_TABSTOP, 0, margin + 85, 548, 75, 25, CopyBtnId);
        Make("BUTTON", "&Save", BS_PUSHBUTTON | WS_TABSTOP, 0, margin + 170, 548, 75, 25,
             SaveBtnId);
    }
    void OnActivate() override {
        // The report from its first line, and OK the active control.
        if (Memo1) {
            SendMessageA(Memo1, EM_SETSEL, 0, 0);
            SendMessageA(Memo1, EM_SCROLLCARET, 0, 0);
        }
        if (OkBtn) SetFocus(OkBtn);
    }
    void OnCommand(int id, int code, HWND) override {
        if (code != BN_CLICKED) return;
        if (id == IDOK) Close();
        if (id == CopyBtnId) CopyBtnClick();
        if (id == SaveBtnId) SaveBtnClick();
    }

  private:
    void CopyBtnClick() { CopyTextSafely(WindowText(Memo1), Wnd); }

    void SaveBtnClick() {
        std::vector<char> file(32768, '\0');
        std::string("Diag.txt").copy(file.data(), file.size() - 1);
        static const char filter[] = "Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
        OPENFILENAMEA dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = Wnd;
        dialog.lpstrFilter = filter;
        dialog.nFilterIndex = 1;
        dialog.lpstrFile = file.data();
        dialog.nMaxFile = static_cast<DWORD>(file.size());
        dialog.lpstrInitialDir = nullptr;
        dialog.lpstrTitle = " Save Diagnostic File";
        dialog.lpstrDefExt = "txt";
        dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST |
                       OFN_ENABLESIZING | OFN_EXPLORER | OFN_NOCHANGEDIR;
        if (!GetSaveFileNameA(&dialog)) return;
        // One line per memo line, each ended by CR LF.
        std::string text = WindowText(Memo1);
        if (!text.empty()) text += "\r\n";
        ReplaceFileContents(file.data(), text);
    }

    std::string Report;
    HWND Label1 = nullptr, Memo1 = nullptr, OkBtn = nullptr;
};

} // namespace

void ShowDiagnostics(HINSTANCE Instance, HWND Owner, const std::string& ProgramName,
                     const std::string& TempDir, const std::string& KeepDir,
                     const std::string& IniFileName, float Version, int HelpContext,
                     std::function<void(int)> Help) {
    auto probe = MakeSystemDiagProbe();
    TxwDiagForm form(Instance, Owner,
                     MakeDiagReport(*probe, ProgramName, TempDir, KeepDir, IniFileName, Version));
    form.SetHelp(HelpContext, std::move(Help));
    if (!form.Create(DiagFormClassName, " Diagnostics", 589, 581)) return;
    form.ShowModal();
}

} // namespace pelvarn
