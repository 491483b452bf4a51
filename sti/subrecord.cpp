#include "sti/subrecord.h"

#include "base/textutil.h"

namespace pelvarn {

void ResetOrder(TSubOrder& order) {
    order[0] = 0;
    for (int i = 1; i <= MaxSubs; ++i)
        order[i] = i;
}

bool CheckSubRecord(const TSubRecord& rec, std::string& msg) {
    const char* reason = nullptr;
    if (rec.MustSee && rec.SubStat == sub)
        reason = "MustSee and SubStat=Sub";
    else if (rec.MustSub && rec.SubStat == notsub)
        reason = "MustSub and SubStat=notsub";
    else if (!rec.MustSee && rec.SubStat == backsub)
        reason = "(not MustSee) and (SubStat = backsub)";
    if (!reason) {
        msg.clear();
        return true;
    }
    msg = std::string(reason) + "\r\nfor variable " + rec.VarName;
    return false;
}

std::string PadTo20(std::string_view s) {
    return PadRight(s, 20);
}

void WriteSubTriple(std::string& out, const TSubRecord& rec) {
    const bool commented = rec.SubStat == notsub;
    std::string code;
    if (rec.SubStat == sub)
        code = "s";
    else if (rec.SubStat == backsub)
        code = "b";
    else
        code = rec.MustSee ? "!b" : "!s";
    // A commented line is "!" and the name; a name that starts with the word of the end
    // marker gets a blank after the "!", or the line would end the section when read back.
    auto lead = [commented](const std::string& name) -> std::string {
        if (!commented) return "";
        return StartsWith(AsciiLower(name), "pelvarnend") ? "! " : "!";
    };
    out += PadTo20(code) + rec.CodeComment + "\r\n";
    out += lead(rec.VarName) + PadTo20(rec.VarName) + rec.VarComment + "\r\n";
    out += lead(rec.EqName) + PadTo20(rec.EqName) + rec.EqComment + "\r\n";
}

void WriteCndLine(std::string& out, const TSubRecord& rec) {
    bool backsolve = rec.SubStat == backsub || (rec.SubStat == notsub && rec.MustSee);
    std::string text = std::string(backsolve ? "Backsolve" : "Substitute") + " " + rec.VarName +
                       " using " + rec.EqName + ";";
    if (rec.SubStat == notsub)
        text = "!" + text + "!";
    else if (rec.MustSub)
        text += " !mustsub!";
    out += text + "\r\n";
}

} // namespace pelvarn
