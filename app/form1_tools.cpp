// The hidden Tools menu of the main window.
#include "app/form1.h"

#include "tools/movecnd.h"

namespace pelvarn {

void TForm1::MoveCondensationsClick() {
    View.ShowMessage(MoveCondensationsIntroText(), TMsgKind::Information, TMsgButtons::OkHelp,
                     HcTools);
    TKsxPaths paths;
    for (;;) {
        std::string chosen;
        if (!View.ChooseFile("*.ksx", "KSX|*.KSX", chosen)) return;
        paths = KsxPathsFor(chosen);
        if (!IsOutputName(paths.LowerName)) break;
        View.ShowMessage(NewKsxRefusalText(), TMsgKind::Error, TMsgButtons::OkHelp, HcTools);
    }
    // File errors are not caught here: the window's handler shows the system's message.
    MoveCondensationsFile(paths.Input, paths.Output);
    View.ShowMessage(MoveCondensationsDoneText(paths.LowerName, paths.Output),
                     TMsgKind::Information, TMsgButtons::OkHelp, HcTools);
}

// "Make Initial.STI file from KSX file" has no action.
void TForm1::MakeInitialSTIClick() {}

} // namespace pelvarn
