// The Tools menu's handlers, driven through a small fake of the main window.
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "app/form1.h"
#include "base/paths.h"
#include "platform/fileio.h"
#include "support/tempdir.h"

using namespace pelvarn;
using pelvarn::test::ReadBytes;
using pelvarn::test::TTempDir;

namespace {

struct TShown {
    std::string Text;
    TMsgKind Kind;
    TMsgButtons Buttons;
    int HelpContext;
};

// Records message boxes and answers the open dialog from a queue (empty: Cancel).
class TToolsView : public TForm1View {
  public:
    std::vector<TShown> Shown;
    std::deque<std::string> Answers;
    std::vector<std::string> Asked; // file name and filter of each dialog, "name|filter"
    int OtherCalls = 0;

    void ShowMessage(const std::string& text, TMsgKind kind, TMsgButtons buttons,
                     int helpContext) override {
        Shown.push_back({text, kind, buttons, helpContext});
    }
    bool ChooseFile(const std::string& fileName, const std::string& filter,
                    std::string& chosenPath) override {
        Asked.push_back(fileName + "|" + filter);
        if (Answers.empty()) return false;
        chosenPath = Answers.front();
        Answers.pop_front();
        return true;
    }

    void SetCaption(TControlId, const std::string&) override { ++OtherCalls; }
    std::string GetCaption(TControlId) override { return ++OtherCalls, ""; }
    void SetEnabled(TControlId, bool) override { ++OtherCalls; }
    bool IsEnabled(TControlId) override { return ++OtherCalls, true; }
    int GetRadioIndex(TControlId) override { return ++OtherCalls, 0; }
    bool IsChecked(TControlId) override { return ++OtherCalls, false; }
    void ClearLog() override { ++OtherCalls; }
    void AppendLog(const std::string&) override { ++OtherCalls; }
    void CopyLogToClipboard() override { ++OtherCalls; }
    void SetTimerEnabled(bool) override { ++OtherCalls; }
    bool IsTimerEnabled() override { return ++OtherCalls, false; }
    void BringToFront() override { ++OtherCalls; }
    void SetClientSize(int, int) override { ++OtherCalls; }
    void ShowAbout() override { ++OtherCalls; }
    void ShowHelpContents() override { ++OtherCalls; }
    void Close() override { ++OtherCalls; }
};

class TNoRunner : public TProcessRunner {
  public:
    bool Start(const std::string&, const std::string&, const std::string&, const std::string&, int,
               ProcInfo&) override {
        ADD_FAILURE() << "the Tools menu starts no process";
        return false;
    }
    bool Ended(ProcInfo&) override { return true; }
};

const std::string IntroText =
    "This tool is used to help you move SUBSTITUTE and BACKSOLVE statements\r\n"
    "to a single section at the end of your KSX file.\r\n"
    "It creates a file \"NEW.KSX\", based on the original KSX file that you select.\r\n"
    "Click Help to find out more.";
const std::string RefusalText =
    "You must not select \"new.ksx\" -- that filename will be used for the output file!";

std::string DoneText(const std::string& lowerName, const std::string& outputPath) {
    return "Input KSX name was: " + lowerName + "\r\nOutput KSX name is: \r\n" + outputPath +
           "\r\nin which SUBSTITUTE and BACKSOLVE statements are moved\r\n"
           "to a single section at the end.\r\n"
           "Please use LUMEDIT to check this file and save it with a new name.\r\n"
           "Click Help to find out more.";
}

class ToolsMenu : public testing::Test {
  protected:
    TTempDir Dir;
    TToolsView View;
    TNoRunner Runner;
    TForm1 Form{View, Runner, TJobCommand{"sh", "job.sh ", "job.sh"}, Dir.Path()};

    void ExpectBox(std::size_t i, const std::string& text, TMsgKind kind) {
        ASSERT_LT(i, View.Shown.size());
        EXPECT_EQ(View.Shown[i].Text, text);
        EXPECT_EQ(View.Shown[i].Kind, kind);
        EXPECT_EQ(View.Shown[i].Buttons, TMsgButtons::OkHelp);
        EXPECT_EQ(View.Shown[i].HelpContext, HcTools);
    }
};

} // namespace

TEST_F(ToolsMenu, MovesTheStatementsOfTheChosenFile) {
    const std::string chosen = Dir.Write("Trade.KSX", "Substitute x using E_x;\r\nrest\r\n");
    View.Answers = {chosen};
    Form.MoveCondensationsClick();

    const std::string output = JoinPath(Dir.Path(), "new.KSX");
    EXPECT_EQ(ReadBytes(output), "! commented out by Pelvarn:Substitute x using E_x;!\r\nrest\r\n"
                                 "!pelvarnbegin!\r\nSubstitute x using E_x;\r\n!pelvarnend!\r\n");
    EXPECT_EQ(View.Asked, std::vector<std::string>{"*.ksx|KSX|*.KSX"});
    ASSERT_EQ(View.Shown.size(), 2u);
    ExpectBox(0, IntroText, TMsgKind::Information);
    ExpectBox(1, DoneText("trade.ksx", output), TMsgKind::Information);
    EXPECT_EQ(View.OtherCalls, 0);
}

TEST_F(ToolsMenu, CancelEndsWithoutWritingOrAnotherBox) {
    Form.MoveCondensationsClick();
    EXPECT_EQ(View.Asked.size(), 1u);
    ASSERT_EQ(View.Shown.size(), 1u);
    ExpectBox(0, IntroText, TMsgKind::Information);
    EXPECT_FALSE(FileExists(JoinPath(Dir.Path(), "new.KSX")));
}

TEST_F(ToolsMenu, NewKsxInAnyCaseIsRefusedAndTheDialogComesBack) {
    const std::string earlier = "earlier output\r\n";
    Dir.Write("New.Ksx", earlier);
    const std::string other = Dir.Write("m.ksx", "plain\r\n");
    View.Answers = {JoinPath(Dir.Path(), "New.Ksx"), JoinPath(Dir.Path(), "NEW.KSX"), other};
    Form.MoveCondensationsClick();

    EXPECT_EQ(View.Asked.size(), 3u);
    ASSERT_EQ(View.Shown.size(), 4u);
    ExpectBox(1, RefusalText, TMsgKind::Error);
    ExpectBox(2, RefusalText, TMsgKind::Error);
    const std::string output = JoinPath(Dir.Path(), "new.KSX");
    ExpectBox(3, DoneText("m.ksx", output), TMsgKind::Information);
    EXPECT_EQ(ReadBytes(output), "plain\r\n!pelvarnbegin!\r\n!pelvarnend!\r\n");
}

TEST_F(ToolsMenu, RefusalThenCancelWritesNothing) {
    View.Answers = {JoinPath(Dir.Path(), "new.ksx")};
    Form.MoveCondensationsClick();
    EXPECT_EQ(View.Asked.size(), 2u);
    ASSERT_EQ(View.Shown.size(), 2u);
    ExpectBox(1, RefusalText, TMsgKind::Error);
    EXPECT_FALSE(FileExists(JoinPath(Dir.Path(), "new.KSX")));
}

TEST_F(ToolsMenu, UnreadableInputRaisesTheFileError) {
    View.Answers = {JoinPath(Dir.Path(), "gone.ksx")};
    EXPECT_THROW(Form.MoveCondensationsClick(), TFileError);
    EXPECT_EQ(View.Shown.size(), 1u); // the introduction only; the window shows the error
    EXPECT_FALSE(FileExists(JoinPath(Dir.Path(), "new.KSX")));
}

TEST_F(ToolsMenu, MakeInitialStiDoesNothing) {
    Dir.Write("model.ksx", "Substitute x using E_x;\r\n");
    Form.MakeInitialSTIClick();
    EXPECT_TRUE(View.Shown.empty());
    EXPECT_TRUE(View.Asked.empty());
    EXPECT_EQ(View.OtherCalls, 0);
    EXPECT_FALSE(FileExists(JoinPath(Dir.Path(), "new.KSX")));
}
