// Routing of every help request to the HTML Help engine with the application's help file.
//
// The program's own small equivalents of a GUI framework's help plumbing:
// - TApplicationHelp: the application object's help side (the help file, the help event
//   that sees every classic help command, and the requests the windows make);
// - THelpManager: the help manager that keeps the registered viewers and the selector and
//   hands each request to a viewer that understands it;
// - WinHelpTester: the global slot of the tester that a classic help viewer would consult.
// THelpRouting installs the viewer, the selector, the tester and TUseHTMLHelp at start-up
// and removes them at the end, in that order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "help/helpengine.h"

namespace pelvarn {

// Classic help commands.
inline constexpr unsigned HelpCommandContext = 1;
inline constexpr unsigned HelpCommandQuit = 2;
inline constexpr unsigned HelpCommandContents = 3;
inline constexpr unsigned HelpCommandContextPopup = 8;
inline constexpr unsigned HelpCommandSetPopupPos = 13;
inline constexpr unsigned HelpCommandKey = 257;

// A point packed as the classic help commands take it: x in the low 16 bits, y in the high.
std::uint32_t PackSmallPoint(int x, int y);

// A control on the way from the screen's active control up through its parents.
struct THelpControl {
    bool ByKeyword = false;  // help by keyword rather than by context
    int Context = 0;         // carries help when non-zero (by context)
    std::string Keyword;     // carries help when non-empty (by keyword)
    int Left = 0, Top = 0;   // top-left corner in screen coordinates
};

class THelpControls {
  public:
    virtual ~THelpControls() = default;
    // The active control first, then its parents outwards; empty when nothing is active.
    virtual std::vector<THelpControl> ActiveChain() = 0;
};

// The tester a classic viewer consults before it acts.
class THelpTester {
  public:
    virtual ~THelpTester() = default;
    virtual bool CanShowALink(const std::string& link, const std::string& file) = 0;
    virtual bool CanShowTopic(const std::string& topic, const std::string& file) = 0;
    virtual bool CanShowContext(int context, const std::string& file) = 0;
    virtual std::vector<std::string> GetHelpStrings(const std::string& link) = 0;
    virtual std::string GetHelpPath() = 0;
    virtual std::string GetDefaultHelpFile() = 0;
};

// The global tester; empty while none is installed.
extern THelpTester* WinHelpTester;

class THelpManager;

// The data of a classic help command: a number, or a text for the key command.
struct THelpData {
    std::uint32_t Number = 0;
    std::string Text;
};

class TApplicationHelp {
  public:
    // Returns true when the request was handled; callHelp false keeps any classic engine out.
    using THelpEvent = std::function<bool(unsigned command, const THelpData& data, bool& callHelp)>;

    TApplicationHelp();
    ~TApplicationHelp();

    std::string HelpFile;
    THelpEvent OnHelp;

    // A classic help command, as the help event sees it.
    bool HelpCommand(unsigned command, const THelpData& data);
    // The requests of the windows, routed through the help manager.
    bool HelpContext(int context);
    bool HelpKeyword(const std::string& keyword);
    bool HelpJump(const std::string& topic);
    void HelpShowTableOfContents();

    THelpManager& Manager() { return *HelpManager; }

  private:
    std::unique_ptr<THelpManager> HelpManager;
};

class THelpSelector {
  public:
    // Among several keywords: the first.
    int SelectKeyword(const std::vector<std::string>& keywords);
    // Among several viewers for the contents: the last one of this program's name, else 0.
    int TableOfContents(const std::vector<std::string>& viewerNames);
};

class THTMLHelpViewer {
  public:
    static const char* const ViewerName;

    THTMLHelpViewer(TApplicationHelp& app, THelpControls& controls);

    std::string GetViewerName() const { return ViewerName; }
    int UnderstandsKeyword(const std::string& keyword, const std::string& file);
    std::vector<std::string> GetHelpStrings(const std::string& keyword);
    bool CanShowTableOfContents() const { return true; }
    void ShowTableOfContents();
    void ShowHelp(const std::string& keyword);
    bool UnderstandsTopic(const std::string& topic) const { return true; }
    void DisplayTopic(const std::string& topic);
    bool UnderstandsContext(int context, const std::string& file) const { return true; }
    void DisplayHelpByContext(int context, const std::string& file);
    void NotifyID(int viewerId) { ViewerId = viewerId; }
    void SoftShutDown() { Manager = nullptr; }
    void ShutDown() { Manager = nullptr; }
    std::string HelpFile(const std::string& name) const;

    THelpManager* Manager = nullptr; // the manager it is registered with
    int ViewerId = 0;

  private:
    void SendPopupPosition();

    TApplicationHelp& App;
    THelpControls& Controls;
};

class THelpManager {
  public:
    explicit THelpManager(TApplicationHelp& app) : App(app) {}

    // Registers a viewer and tells it its number; unregistering forgets it.
    void RegisterViewer(THTMLHelpViewer& viewer);
    void UnregisterViewer(THTMLHelpViewer& viewer);
    void SetHelpSelector(THelpSelector* selector) { Selector = selector; }
    THelpSelector* HelpSelector() const { return Selector; }
    std::string GetHelpFile() const { return App.HelpFile; }
    std::size_t ViewerCount() const { return Viewers.size(); }

    bool ShowContext(int context);
    bool ShowKeyword(const std::string& keyword);
    bool ShowTopic(const std::string& topic);
    void ShowTableOfContents();

  private:
    TApplicationHelp& App;
    std::vector<THTMLHelpViewer*> Viewers;
    THelpSelector* Selector = nullptr;
    int NextViewerId = 1;
};

class TWinHelpTester : public THelpTester {
  public:
    explicit TWinHelpTester(const THTMLHelpViewer* viewer) : Viewer(viewer) {}
    bool CanShowALink(const std::string&, const std::string&) override { return false; }
    bool CanShowTopic(const std::string&, const std::string&) override { return false; }
    bool CanShowContext(int, const std::string&) override { return false; }
    std::vector<std::string> GetHelpStrings(const std::string&) override { return {}; }
    std::string GetHelpPath() override { return {}; }
    std::string GetDefaultHelpFile() override;

    const THTMLHelpViewer* Viewer;
};

// The application's help handler: every classic help command becomes HTML Help calls.
class TUseHTMLHelp {
  public:
    TUseHTMLHelp(TApplicationHelp& app, THelpEngine& engine) : App(app), Engine(engine) {}
    bool ApplicationHelp(unsigned command, const THelpData& data, bool& callHelp);

  private:
    TApplicationHelp& App;
    THelpEngine& Engine;
};

// The program's one application help object.
TApplicationHelp& AppHelp();

// Everything above, installed for the life of the program.
class THelpRouting {
  public:
    THelpRouting(TApplicationHelp& app, THelpEngine& engine, THelpControls& controls);
    ~THelpRouting();
    THelpRouting(const THelpRouting&) = delete;
    THelpRouting& operator=(const THelpRouting&) = delete;

    THTMLHelpViewer& Viewer() { return *HelpViewer; }

  private:
    TApplicationHelp& App;
    std::unique_ptr<TWinHelpTester> Tester;
    bool TesterInstalled = false;
    std::unique_ptr<THelpSelector> Selector;
    std::unique_ptr<THTMLHelpViewer> HelpViewer;
    std::unique_ptr<TUseHTMLHelp> Handler;
};

} // namespace pelvarn
