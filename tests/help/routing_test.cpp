// The help routing with a recording engine: which engine calls each kind of request makes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "help/helpcontexts.h"
#include "help/htmlhelp.h"

namespace pelvarn {
namespace {

struct TCall {
    THhCommand Command;
    std::string File;
    std::uint32_t Number;
    std::string Keyword;
    bool TesterInstalled;
    bool operator==(const TCall&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TCall& c) {
    return out << static_cast<unsigned>(c.Command) << " '" << c.File << "' " << c.Number << " '"
               << c.Keyword << "'" << (c.TesterInstalled ? " tester" : " no tester");
}

class TRecordingEngine : public THelpEngine {
  public:
    void HtmlHelp(THhCommand command, const std::string& file, std::uint32_t number,
                  const std::string& keyword) override {
        Calls.push_back({command, file, number, keyword, WinHelpTester != nullptr});
    }
    std::vector<TCall> Calls;
};

class TFakeControls : public THelpControls {
  public:
    std::vector<THelpControl> ActiveChain() override { return Chain; }
    std::vector<THelpControl> Chain;
};

constexpr const char* File = "C:\\prog\\pelvarn.chm";
constexpr auto Toc = THhCommand::DisplayToc;

struct TCase {
    const char* Name;
    void (*Request)(TApplicationHelp&);
    std::vector<THelpControl> Chain;
    std::vector<TCall> Expected;
};

TEST(HelpRouting, EachRequestReachesTheEngineAsTheTableSays) {
    const THelpControl none{false, 0, "", 10, 20};
    const THelpControl context{false, 776257, "", 300, 200};
    const THelpControl keyword{true, 0, "log", 5, 6};
    const std::vector<TCase> cases = {
        {"context",
         [](TApplicationHelp& a) { a.HelpContext(HcExpectedFile); },
         {none},
         {{Toc, File, 0, "", false}, {THhCommand::HelpContext, File, 776253, "", false}}},
        {"keyword",
         [](TApplicationHelp& a) { a.HelpKeyword("strategies"); },
         {},
         {{Toc, File, 0, "", true}, {THhCommand::DisplayIndex, File, 0, "strategies", true}}},
        {"topic gets zzz",
         [](TApplicationHelp& a) { a.HelpJump("joblog"); },
         {},
         {{Toc, File, 0, "", true}, {THhCommand::DisplayIndex, File, 0, "joblogzzz", true}}},
        {"contents: the table of contents, then the default topic",
         [](TApplicationHelp& a) { a.HelpShowTableOfContents(); },
         {context},
         {{Toc, File, 0, "", true}, {THhCommand::DisplayTopic, File, 0, "", true}}},
        {"quit closes all without a file",
         [](TApplicationHelp& a) { a.HelpCommand(HelpCommandQuit, {}); },
         {},
         {{THhCommand::CloseAll, "", 0, "", true}}},
        {"context pop-up",
         [](TApplicationHelp& a) { a.HelpCommand(HelpCommandContextPopup, {666, {}}); },
         {},
         {{Toc, File, 0, "", true}, {THhCommand::HelpContext, File, 666, "", true}}},
        // The pop-up position goes first when a control up the chain carries help; as a
        // command of its own it shows the contents and the default topic.
        {"context from a control that carries help",
         [](TApplicationHelp& a) { a.HelpContext(HcAbout); },
         {none, context},
         {{Toc, File, 0, "", true},
          {THhCommand::DisplayTopic, File, 0, "", true},
          {Toc, File, 0, "", false},
          {THhCommand::HelpContext, File, 776257, "", false}}},
        {"keyword from a control with a keyword",
         [](TApplicationHelp& a) { a.HelpKeyword("log"); },
         {keyword},
         {{Toc, File, 0, "", true},
          {THhCommand::DisplayTopic, File, 0, "", true},
          {Toc, File, 0, "", true},
          {THhCommand::DisplayIndex, File, 0, "log", true}}},
    };
    for (const TCase& c : cases) {
        TApplicationHelp app;
        app.HelpFile = File;
        TRecordingEngine engine;
        TFakeControls controls;
        controls.Chain = c.Chain;
        {
            THelpRouting routing(app, engine, controls);
            c.Request(app);
        }
        EXPECT_EQ(engine.Calls, c.Expected) << c.Name;
        EXPECT_EQ(WinHelpTester, nullptr) << c.Name << ": tester removed at the end";
    }
}

TEST(HelpRouting, PopupPositionIsTheFirstCarrierPackedInSixteenBits) {
    struct TPos {
        std::vector<THelpControl> Chain;
        std::vector<std::uint32_t> Sent; // data of each command 13
    };
    const std::vector<TPos> cases = {
        {{}, {}},
        {{{false, 0, "", 1, 2}, {true, 0, "", 3, 4}}, {}}, // none carries help
        {{{false, 0, "", 1, 2}, {false, 5, "", 0x1234, 0x0056}, {false, 7, "", 9, 9}},
         {0x00561234u}},
        {{{true, 0, "kw", -2, 70000}}, {0x1170FFFEu}}, // x and y cut to 16 bits each
    };
    for (const TPos& c : cases) {
        TApplicationHelp app;
        TRecordingEngine engine;
        TFakeControls controls;
        controls.Chain = c.Chain;
        THelpRouting routing(app, engine, controls);
        std::vector<std::uint32_t> sent;
        auto handler = app.OnHelp;
        app.OnHelp = [&](unsigned command, const THelpData& data, bool& callHelp) {
            if (command == HelpCommandSetPopupPos) sent.push_back(data.Number);
            return handler(command, data, callHelp);
        };
        app.HelpContext(776250);
        EXPECT_EQ(sent, c.Sent);
    }
}

TEST(HelpRouting, InstallsAndRemovesInOrder) {
    TApplicationHelp app;
    app.HelpFile = File;
    TRecordingEngine engine;
    TFakeControls controls;
    {
        THelpRouting routing(app, engine, controls);
        ASSERT_NE(WinHelpTester, nullptr);
        EXPECT_FALSE(WinHelpTester->CanShowContext(1, File));
        EXPECT_FALSE(WinHelpTester->CanShowTopic("x", File));
        EXPECT_TRUE(WinHelpTester->GetHelpStrings("x").empty());
        EXPECT_EQ(WinHelpTester->GetDefaultHelpFile(), File);
        EXPECT_EQ(app.Manager().ViewerCount(), 1u);
        EXPECT_EQ(routing.Viewer().ViewerId, 1);
        EXPECT_EQ(routing.Viewer().GetHelpStrings("log"),
                  std::vector<std::string>{std::string("log: ") + THTMLHelpViewer::ViewerName});
        bool callHelp = true;
        EXPECT_TRUE(app.OnHelp(99, {}, callHelp));
        EXPECT_FALSE(callHelp) << "no classic engine is ever started";
    }
    EXPECT_FALSE(app.OnHelp);
    EXPECT_EQ(app.Manager().ViewerCount(), 0u);
    EXPECT_EQ(app.Manager().HelpSelector(), nullptr);
    EXPECT_EQ(WinHelpTester, nullptr);
    engine.Calls.clear();
    EXPECT_FALSE(app.HelpContext(776250)) << "after removal nothing reaches the engine";
    EXPECT_TRUE(engine.Calls.empty());

    THelpSelector selector;
    EXPECT_EQ(selector.TableOfContents({"other", THTMLHelpViewer::ViewerName, "x",
                                        THTMLHelpViewer::ViewerName, "y"}),
              3);
    EXPECT_EQ(selector.TableOfContents({"other"}), 0);
}

TEST(HelpContexts, NumbersAndTopicsAreUnique) {
    for (size_t i = 0; i < HelpContextCount; ++i)
        for (size_t j = i + 1; j < HelpContextCount; ++j) {
            EXPECT_NE(HelpContextTable[i].Context, HelpContextTable[j].Context);
            EXPECT_STRNE(HelpContextTable[i].Alias, HelpContextTable[j].Alias);
        }
}

} // namespace
} // namespace pelvarn
