// The next candidate of a run: the best condensation so far with one small change, chosen by
// the include and order strategies of the main window, checked and then launched.
#include <string>

#include "app/form1.h"

namespace pelvarn {

namespace {

// Shown when "Alter one at a time" is the only strategy and no record may be toggled.
const char* const NothingToAlterText = "Nothing can be altered one at a time:\r\n"
                                       "every substitution is marked MUSTSUB,\r\n"
                                       "or there are none.\r\n"
                                       "Choose a change of order, or edit initial.sti.";

// Written once into the log when both strategies are on and the include change is skipped:
// every record is MUSTSUB, or there are none.
const char* const OrderOnlyLogText =
    "Alter one at a time: no substitution may be altered (all are MUSTSUB), "
    "so only the order is changed";
const char* const NoRecordsLogText =
    "Alter one at a time: there are no substitutions to alter, so only the order is changed";

} // namespace

bool TForm1::CheckRecords(const std::string& context) {
    const std::int32_t count = RecordCount > MaxSubs ? MaxSubs : RecordCount;
    std::string reason;
    for (std::int32_t i = 1; i <= count; ++i) {
        if (!CheckSubRecord(Current[i], reason)) {
            View.SetTimerEnabled(false);
            View.ShowMessage(context + "\r\n" + "Bad substitution:" + "\r\n" + reason,
                             TMsgKind::Error, TMsgButtons::OkHelp, HcBadSubstitution);
            return false;
        }
    }
    return true;
}

void TForm1::NextCandidate() {
    ++JobCount;
    Current = Best;
    CurrentOrder = BestOrder;
    if (!CheckRecords("After reset to optimal")) return;
    ReadStrategies();

    enum class TChange { None, Order, Include };
    TChange change = TChange::None;
    if (JobCount <= 1)
        change = TChange::None;
    else if (OrderStrategy > 0 && IncludeStrategy == 0)
        change = TChange::Order;
    else if (OrderStrategy == 0 && IncludeStrategy > 0)
        change = TChange::Include;
    else if (OrderStrategy > 0 && IncludeStrategy > 0)
        change = (JobCount % 2 != 0) ? TChange::Order : TChange::Include;

    if (change == TChange::Include) {
        if (IncludeStrategy == 1) {
            if (AlterNext(Current, RecordCount, AlterPos)) {
                const TSubRecord& altered = Current[AlterPos];
                const std::int32_t stat = altered.SubStat;
                ChangeText = "Change " + altered.VarName + " to " +
                             (stat >= 0 && stat <= 2 ? SubStatName[stat] : std::to_string(stat));
            } else if (OrderStrategy == 1 || OrderStrategy == 2) {
                // Nothing may be toggled: the order strategy makes this candidate instead.
                if (!NothingToAlterLogged) {
                    View.AppendLog(RecordCount > 0 ? OrderOnlyLogText : NoRecordsLogText);
                    NothingToAlterLogged = true;
                }
                change = TChange::Order;
            } else {
                // Every candidate would equal the best: stop rather than time it for ever.
                View.SetTimerEnabled(false);
                View.ShowMessage(NothingToAlterText, TMsgKind::Warning, TMsgButtons::OkHelp,
                                 HcNothingAltered);
                PauseRun();
                return;
            }
        } else {
            View.SetTimerEnabled(false);
            View.ShowMessage("Cannot get here", TMsgKind::Warning, TMsgButtons::Ok, 0);
        }
    }
    if (change == TChange::Order) {
        if (OrderStrategy == 1) {
            ExchangeRandomPair(CurrentOrder, RecordCount);
            ChangeText = "Exchange random pair";
        } else if (OrderStrategy == 2) {
            CompleteShuffle(CurrentOrder, RecordCount);
            ChangeText = "Complete shuffle";
        }
    }

    SetInfo(ChangeText);
    LaunchJob();
}

} // namespace pelvarn
