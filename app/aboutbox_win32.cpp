// TxwAboutBox: the program, its version and file, and the suite's release from its translator.
#include <windows.h>

#include <mmsystem.h>

#include <cmath>

#include "app/aboutbox_win32.h"
#include "app/modalform_win32.h"
#include "base/textutil.h"
#include "diag/aboutbox.h"
#include "diag/diagreport.h"
#include "platform/workarea.h"
#include "platform/xwutil.h"

namespace pelvarn {

namespace {

enum : int {
    Panel1Id = 100,
    ProgramIconId,
    Label1Id,
    ProductNameId,
    CreditId,
    Label2Id,
    Label3Id,
    Label4Id,
    Label5Id,
    HelpBtnId,
    DiagBtnId,
};

constexpr COLORREF Navy = RGB(0, 0, 128);
constexpr UINT SoundFlags = SND_RESOURCE | SND_ASYNC | SND_NODEFAULT | SND_NOWAIT;

class TxwAboutBox final : public TModalForm {
  public:
    TxwAboutBox(HINSTANCE instance, HWND owner) : TModalForm(instance, owner) {}

    std::string ProgramName, TempDir, KeepDir, IniFileName, SuiteText, FileText;
    float Version = 0;
    bool SuiteFlag = false;
    HICON Icon = nullptr;
    std::function<void()> IconClick;

  protected:
    void OnCreate() override {
        LOGFONTA lf{};
        if (Font.Get()) GetObjectA(Font.Get(), sizeof lf, &lf);
        LOGFONTA title{};
        title.lfHeight = -Scale(31);
        title.lfWeight = FW_BOLD;
        title.lfCharSet = ANSI_CHARSET;
        lstrcpynA(title.lfFaceName, "Arial", LF_FACESIZE);
        TitleFont.Reset(CreateFontIndirectA(&title));
        // The link: underlined, its size times 1.1 to the nearest whole number.
        LOGFONTA link = lf;
        link.lfUnderline = TRUE;
        link.lfHeight = static_cast<LONG>(RoundHalfEven(lf.lfHeight * 1.1));
        LinkFont.Reset(CreateFontIndirectA(&link));
        BoldFont.Reset(nullptr);
        LOGFONTA bold = lf;
        bold.lfWeight = FW_BOLD;
        BoldFont.Reset(CreateFontIndirectA(&bold));

        Make("STATIC", "", SS_ETCHEDFRAME, 0, 8, 8, 412, 138, Panel1Id);
        IconWnd = Make("STATIC", "", SS_ICON | SS_NOTIFY, 0, 16, 16, 32, 32, ProgramIconId);
        if (IconWnd && Icon) SendMessageA(IconWnd, STM_SETICON, reinterpret_cast<WPARAM>(Icon), 0);
        Title = Make("STATIC", ProgramName.c_str(), SS_CENTER | SS_NOTIFY | SS_NOPREFIX, 0, 56, 14,
                     316, 38, Label1Id, TitleFont.Get());
        Make("STATIC", VersionLine(Version).c_str(), SS_CENTER | SS_NOPREFIX, 0, 16, 58, 396, 16,
             ProductNameId);
        Make("STATIC", AboutCreditText, SS_CENTER | SS_NOPREFIX, 0, 16, 80, 396, 16, CreditId);
        Link = Make("STATIC", SuiteFlag ? AboutSuiteAuthorText : AboutAuthorText,
                    SS_CENTER | SS_NOTIFY | SS_NOPREFIX, 0, 116, 98, 196, 20, Label2Id,
                    LinkFont.Get());
        Make("STATIC", AboutLocationText, SS_CENTER | SS_NOPREFIX, 0, 16, 120, 396, 16, Label3Id);
        Make("STATIC", FileText.c_str(), SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_PATHELLIPSIS,
             WS_EX_STATICEDGE, 8, 154, 412, 20, Label4Id);
        Make("STATIC", SuiteText.c_str(), SS_LEFT | SS_NOPREFIX, WS_EX_STATICEDGE, 8, 180, 412, 66,
             Label5Id);
        OkBtn = Make("BUTTON", "&OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 8, 258, 75, 25, IDOK);
        HelpBtn =
            Make("BUTTON", "&Help", BS_PUSHBUTTON | WS_TABSTOP, 0, 176, 258, 75, 25, HelpBtnId);
        if (HelpBtn && HelpContext <= 0) ShowWindow(HelpBtn, SW_HIDE);
        DiagBtn = Make("BUTTON", "&Diagnostics", BS_PUSHBUTTON | WS_TABSTOP, 0, 320, 258, 100, 25,
                       DiagBtnId);
    }
    void OnActivate() override {
        CenterOnMainForm(Wnd, Owner);
        if (OkBtn) SetFocus(OkBtn);
    }
    HBRUSH OnLabelColour(HDC dc, HWND label) override {
        if (label == Title)
            SetTextColor(dc, TitleColour);
        else if (label == Link)
            SetTextColor(dc, Navy);
        else
            return nullptr;
        SetBkMode(dc, TRANSPARENT);
        return GetSysColorBrush(COLOR_BTNFACE);
    }
    bool OnSetCursor(HWND over) override {
        if (over != Link && over != IconWnd) return false;
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649))); // IDC_HAND
        return true;
    }
    void OnCommand(int id, int code, HWND) override {
        if (id == ProgramIconId && code == STN_CLICKED) {
            if (IconClick)
                IconClick();
            else
                ProgramIconClick();
        } else if (id == Label1Id && code == STN_CLICKED) {
            Label1Click();
        } else if (id == Label2Id && code == STN_CLICKED) {
            ShellOpen(Wnd, SuiteFlag ? SuiteDevelopersPage : ProjectHomePage);
        } else if (code == BN_CLICKED) {
            if (id == IDOK) Close();
            if (id == HelpBtnId && Help) Help(HelpContext);
            if (id == DiagBtnId) DiagBtnClick();
        }
    }

  private:
    void Repaint(HWND wnd) {
        InvalidateRect(wnd, nullptr, TRUE);
        UpdateWindow(wnd);
    }
    // Moves a child by dx pixels within the form.
    void Nudge(HWND child, int dx) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, Wnd, reinterpret_cast<POINT*>(&r), 2);
        SetWindowPos(child, nullptr, r.left + dx, r.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void Label1Click() {
        for (unsigned colour : TitleWalkColours) {
            TitleColour = static_cast<COLORREF>(colour);
            Repaint(Wnd);
            Repaint(Title);
            Sleep(300);
            Nudge(Title, 3);
        }
        Repaint(Wnd);
    }
    void ProgramIconClick() {
        SYSTEMTIME now;
        GetLocalTime(&now);
        const bool buzz = BuzzDay(now.wDayOfWeek);
        if (buzz) PlaySoundA("BEE", Instance, SoundFlags | SND_LOOP);
        for (int i = 0; i < 30; ++i) {
            Nudge(IconWnd, -2);
            Repaint(Wnd);
            Sleep(30);
            Nudge(IconWnd, 2);
            Repaint(Wnd);
            Sleep(30);
        }
        PlaySoundA(nullptr, nullptr, 0);
        if (!buzz) PlaySoundA("POP", Instance, SoundFlags);
    }
    void DiagBtnClick() {
        SendMessageA(DiagBtn, WM_SETFONT, reinterpret_cast<WPARAM>(BoldFont.Get()), TRUE);
        SetWindowTextA(DiagBtn, "Please wait");
        UpdateWindow(DiagBtn);
        struct TRestore {
            TxwAboutBox& Box;
            ~TRestore() {
                SetWindowTextA(Box.DiagBtn, "&Diagnostics");
                SendMessageA(Box.DiagBtn, WM_SETFONT, reinterpret_cast<WPARAM>(Box.Font.Get()),
                             TRUE);
            }
        } restore{*this};
        ShowDiagnostics(Instance, Wnd, ProgramName, TempDir, KeepDir, IniFileName, Version,
                        HelpContext, Help);
    }

    TFontHandle TitleFont, LinkFont, BoldFont;
    COLORREF TitleColour = RGB(0, 0, 0);
    HWND IconWnd = nullptr, Title = nullptr, Link = nullptr, OkBtn = nullptr, HelpBtn = nullptr,
         DiagBtn = nullptr;
};

} // namespace

void ShowAboutBox(HINSTANCE Instance, HWND Owner, HICON Icon, const std::string& ProgramName,
                  const std::string& TempDir, float Version, const std::string& KeepDir,
                  const std::string& IniFileName, std::function<void()> IconClick, int HelpContext,
                  bool SuiteFlag, std::function<void(int)> Help) {
    TxwAboutBox box(Instance, Owner);
    box.ProgramName = ProgramName;
    box.TempDir = TempDir;
    box.KeepDir = KeepDir;
    box.IniFileName = IniFileName;
    box.Version = Version;
    box.SuiteFlag = SuiteFlag;
    box.Icon = Icon;
    box.IconClick = std::move(IconClick);
    box.SetHelp(HelpContext, std::move(Help));
    auto probe = MakeSystemDiagProbe();
    box.FileText = AboutFileText(probe->ProgramFile());
    // Runs the translator and waits for it: the box opens once it has answered.
    box.SuiteText = SuiteVersionText(*probe);
    if (!box.Create(AboutBoxClassName, " About " + ProgramName, 428, 292)) return;
    box.ShowModal();
}

} // namespace pelvarn
