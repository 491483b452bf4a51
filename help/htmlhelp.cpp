#include "help/htmlhelp.h"

#include <utility>

namespace pelvarn {

THelpTester* WinHelpTester = nullptr;

const char* const THTMLHelpViewer::ViewerName = "Pelvarn HTML Help";

std::uint32_t PackSmallPoint(int x, int y) {
    return (static_cast<std::uint32_t>(x) & 0xFFFFu) |
           ((static_cast<std::uint32_t>(y) & 0xFFFFu) << 16);
}

// ---- the application's help side

TApplicationHelp::TApplicationHelp() : HelpManager(std::make_unique<THelpManager>(*this)) {}
TApplicationHelp::~TApplicationHelp() = default;

bool TApplicationHelp::HelpCommand(unsigned command, const THelpData& data) {
    bool callHelp = true;
    // Without a help event no classic engine exists to fall back on: nothing happens.
    return OnHelp ? OnHelp(command, data, callHelp) : false;
}

bool TApplicationHelp::HelpContext(int context) {
    return HelpManager->ShowContext(context);
}

bool TApplicationHelp::HelpKeyword(const std::string& keyword) {
    return HelpManager->ShowKeyword(keyword);
}

bool TApplicationHelp::HelpJump(const std::string& topic) {
    return HelpManager->ShowTopic(topic);
}

void TApplicationHelp::HelpShowTableOfContents() {
    HelpManager->ShowTableOfContents();
}

TApplicationHelp& AppHelp() {
    static TApplicationHelp app;
    return app;
}

// ---- the help manager

void THelpManager::RegisterViewer(THTMLHelpViewer& viewer) {
    Viewers.push_back(&viewer);
    viewer.Manager = this;
    viewer.NotifyID(NextViewerId++);
}

void THelpManager::UnregisterViewer(THTMLHelpViewer& viewer) {
    std::erase(Viewers, &viewer);
}

bool THelpManager::ShowContext(int context) {
    const std::string file = GetHelpFile();
    for (THTMLHelpViewer* viewer : Viewers) {
        if (viewer->UnderstandsContext(context, file)) {
            viewer->DisplayHelpByContext(context, file);
            return true;
        }
    }
    return false;
}

bool THelpManager::ShowKeyword(const std::string& keyword) {
    const std::string file = GetHelpFile();
    std::vector<THTMLHelpViewer*> able;
    std::vector<std::string> strings;
    for (THTMLHelpViewer* viewer : Viewers) {
        if (viewer->UnderstandsKeyword(keyword, file) > 0) {
            able.push_back(viewer);
            for (const std::string& s : viewer->GetHelpStrings(keyword)) strings.push_back(s);
        }
    }
    if (able.empty()) return false;
    size_t pick = 0;
    if (able.size() > 1 && Selector) {
        int chosen = Selector->SelectKeyword(strings);
        if (chosen >= 0 && static_cast<size_t>(chosen) < able.size())
            pick = static_cast<size_t>(chosen);
    }
    able[pick]->ShowHelp(keyword);
    return true;
}

bool THelpManager::ShowTopic(const std::string& topic) {
    for (THTMLHelpViewer* viewer : Viewers) {
        if (viewer->UnderstandsTopic(topic)) {
            viewer->DisplayTopic(topic);
            return true;
        }
    }
    return false;
}

void THelpManager::ShowTableOfContents() {
    std::vector<THTMLHelpViewer*> able;
    std::vector<std::string> names;
    for (THTMLHelpViewer* viewer : Viewers) {
        if (viewer->CanShowTableOfContents()) {
            able.push_back(viewer);
            names.push_back(viewer->GetViewerName());
        }
    }
    if (able.empty()) return;
    size_t pick = 0;
    if (able.size() > 1 && Selector) {
        int chosen = Selector->TableOfContents(names);
        if (chosen >= 0 && static_cast<size_t>(chosen) < able.size())
            pick = static_cast<size_t>(chosen);
    }
    able[pick]->ShowTableOfContents();
}

// ---- the selector

int THelpSelector::SelectKeyword(const std::vector<std::string>&) {
    return 0;
}

int THelpSelector::TableOfContents(const std::vector<std::string>& viewerNames) {
    int found = 0;
    for (size_t i = 0; i < viewerNames.size(); ++i)
        if (viewerNames[i] == THTMLHelpViewer::ViewerName) found = static_cast<int>(i);
    return found;
}

// ---- the viewer

THTMLHelpViewer::THTMLHelpViewer(TApplicationHelp& app, THelpControls& controls)
    : App(app), Controls(controls) {}

int THTMLHelpViewer::UnderstandsKeyword(const std::string&, const std::string&) {
    return 1;
}

std::vector<std::string> THTMLHelpViewer::GetHelpStrings(const std::string& keyword) {
    return {keyword + ": " + ViewerName};
}

void THTMLHelpViewer::ShowTableOfContents() {
    App.HelpCommand(HelpCommandContents, {});
}

void THTMLHelpViewer::SendPopupPosition() {
    for (const THelpControl& control : Controls.ActiveChain()) {
        const bool carriesHelp =
            control.ByKeyword ? !control.Keyword.empty() : control.Context != 0;
        if (!carriesHelp) continue;
        App.HelpCommand(HelpCommandSetPopupPos, {PackSmallPoint(control.Left, control.Top), {}});
        return;
    }
}

void THTMLHelpViewer::ShowHelp(const std::string& keyword) {
    SendPopupPosition();
    App.HelpCommand(HelpCommandKey, {0, keyword});
}

void THTMLHelpViewer::DisplayTopic(const std::string& topic) {
    SendPopupPosition();
    App.HelpCommand(HelpCommandKey, {0, topic + "zzz"});
}

void THTMLHelpViewer::DisplayHelpByContext(int context, const std::string&) {
    SendPopupPosition();
    // The tester stays out of the way while the context command runs, and comes back even
    // when the command throws.
    struct TTesterAside {
        THelpTester* Saved = std::exchange(WinHelpTester, nullptr);
        ~TTesterAside() { WinHelpTester = Saved; }
    } aside;
    App.HelpCommand(HelpCommandContext, {static_cast<std::uint32_t>(context), {}});
}

std::string THTMLHelpViewer::HelpFile(const std::string& name) const {
    if (name.empty() && Manager) return Manager->GetHelpFile();
    return name;
}

std::string TWinHelpTester::GetDefaultHelpFile() {
    return Viewer ? Viewer->HelpFile({}) : std::string();
}

// ---- the application's help handler

bool TUseHTMLHelp::ApplicationHelp(unsigned command, const THelpData& data, bool& callHelp) {
    callHelp = false;
    const std::string& file = App.HelpFile;
    switch (command) {
    case HelpCommandQuit:
        Engine.HtmlHelp(THhCommand::CloseAll, {}, 0, {});
        break;
    case HelpCommandContext:
    case HelpCommandContextPopup:
        Engine.HtmlHelp(THhCommand::DisplayToc, file, 0, {});
        Engine.HtmlHelp(THhCommand::HelpContext, file, data.Number, {});
        break;
    case HelpCommandKey:
        Engine.HtmlHelp(THhCommand::DisplayToc, file, 0, {});
        Engine.HtmlHelp(THhCommand::DisplayIndex, file, 0, data.Text);
        break;
    default:
        Engine.HtmlHelp(THhCommand::DisplayToc, file, 0, {});
        Engine.HtmlHelp(THhCommand::DisplayTopic, file, 0, {});
        break;
    }
    return true;
}

// ---- installation

THelpRouting::THelpRouting(TApplicationHelp& app, THelpEngine& engine, THelpControls& controls)
    : App(app) {
    HelpViewer = std::make_unique<THTMLHelpViewer>(app, controls);
    Tester = std::make_unique<TWinHelpTester>(HelpViewer.get());
    if (!WinHelpTester) {
        WinHelpTester = Tester.get();
        TesterInstalled = true;
    }
    Selector = std::make_unique<THelpSelector>();
    app.Manager().SetHelpSelector(Selector.get());
    app.Manager().RegisterViewer(*HelpViewer);
    Handler = std::make_unique<TUseHTMLHelp>(app, engine);
    app.OnHelp = [handler = Handler.get()](unsigned command, const THelpData& data,
                                           bool& callHelp) {
        return handler->ApplicationHelp(command, data, callHelp);
    };
}

THelpRouting::~THelpRouting() {
    App.OnHelp = nullptr;
    Handler.reset();
    App.Manager().SetHelpSelector(nullptr);
    Selector.reset();
    if (HelpViewer->Manager) {
        HelpViewer->Manager->UnregisterViewer(*HelpViewer);
        HelpViewer->ShutDown();
    }
    if (TesterInstalled && WinHelpTester == Tester.get()) WinHelpTester = nullptr;
}

} // namespace pelvarn
