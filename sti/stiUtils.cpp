#include "sti/stiUtils.h"

#include <vector>

#include "base/paths.h"
#include "base/textutil.h"
#include "platform/fileio.h"
#include "sti/txtfile.h"

namespace pelvarn {

TSTIpart FirstPart;
std::int32_t FirstCount = 0;
TSTIpart LastPart;
std::int32_t LastCount = 0;

namespace {

const std::string CRLF = "\r\n";

// Every byte below 32 or above 126 becomes a blank: the form in which the condensation
// section is read and the markers are looked for.
std::string NormaliseLine(std::string_view s) {
    return BlankBytesOutside(s, 32, 126);
}

// The form in which the lines around the section are kept: control characters (below 32, and
// 127) become blanks, and every byte above 127 stays as read, so that file names and comments
// in any 8-bit code page reach every file written.
std::string KeptLine(std::string_view s) {
    std::string r(s);
    for (char& c : r) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127) c = ' ';
    }
    return r;
}

void ClearParts() {
    for (auto& s : FirstPart)
        s.clear();
    for (auto& s : LastPart)
        s.clear();
    FirstCount = 0;
    LastCount = 0;
}

} // namespace

bool SplitSTILine(const std::string& line, std::string& value, std::string& comment,
                  bool& commented, bool& mustSub) {
    std::string rest = line;
    commented = !rest.empty() && rest[0] == '!';
    if (commented) rest = Trim(std::string_view(rest).substr(1));
    std::size_t bang = rest.find('!');
    if (bang != std::string::npos) {
        value = Trim(std::string_view(rest).substr(0, bang));
        // Cut to its longest; blanks left at the cut would not survive a written line.
        comment = TrimRight(std::string_view(rest).substr(bang, MaxCommentLength));
    } else {
        value = rest;
        comment.clear();
    }
    if (Contains(AsciiUpper(comment), "MUSTSUB")) mustSub = true;
    return true;
}

bool ParseSubTriple(const std::string& line1, const std::string& line2, const std::string& line3,
                    TSubRecord& rec, std::string& Msg) {
    rec = TSubRecord{};
    Msg.clear();
    bool mustSub = false;
    std::string code, codeComment, varName, varComment, eqName, eqComment;
    bool c1 = false, c2 = false, c3 = false;

    SplitSTILine(line1, code, codeComment, c1, mustSub);
    code = AsciiUpper(code);
    if (code != "S" && code != "B") {
        Msg = "expected S or B code, line was: " + line1;
        return false;
    }
    SplitSTILine(line2, varName, varComment, c2, mustSub);
    if (c2 != c1) {
        Msg = "uneven commenting, line was: " + line2;
        return false;
    }
    SplitSTILine(line3, eqName, eqComment, c3, mustSub);
    if (c3 != c1) {
        Msg = "uneven commenting, line was: " + line3;
        return false;
    }

    if (code == "S") {
        rec.SubStat = sub;
    } else {
        rec.SubStat = backsub;
        rec.MustSee = true;
    }
    if (c1) rec.SubStat = notsub;
    rec.VarName = varName;
    rec.VarComment = varComment;
    rec.EqName = eqName;
    rec.EqComment = eqComment;
    rec.CodeComment = codeComment;
    // MUSTSUB overrides a commented triple: the variable is substituted (a "B" triple then
    // fails the check below, since it may never be substituted).
    if (mustSub && rec.SubStat == notsub) rec.SubStat = sub;
    rec.MustSub = mustSub;
    // A condensed record without a name would send the translator a blank line, and could
    // not be written back: a name line that is only a comment reads as commented.
    if (rec.SubStat != notsub && (varName.empty() || eqName.empty())) {
        Msg = "missing name, line was: " + (varName.empty() ? line2 : line3);
        return false;
    }

    std::string reason;
    if (!CheckSubRecord(rec, reason)) {
        Msg = "Bad substitution for " + rec.VarName + ": " + reason;
        return false;
    }
    return true;
}

bool ReadSTIFile(const std::string& FileName, TSubInfo& Subs, std::int32_t& NSub,
                 std::string& Msg) {
    enum class TState { LookingForBegin, InMiddle, InLast };
    ClearParts();
    NSub = 0;
    // Most records are still blank from the last read: only the used ones are reset.
    for (auto& r : Subs)
        if (!r.IsBlank()) r = TSubRecord{};
    Msg.clear();

    std::vector<std::string> middle;
    TState state = TState::LookingForBegin;

    TTextFile file;
    file.Open(FileName);
    std::string line;
    while (file.ReadLine(line)) {
        std::string raw = NormaliseLine(line);
        std::string trimmed = Trim(raw);
        std::string lower = AsciiLower(trimmed);
        switch (state) {
        case TState::LookingForBegin:
            if (++FirstCount > MaxPartLines) {
                Msg = "Could not find \"!pelvarnbegin\" line in first " +
                      std::to_string(MaxPartLines) + " lines of STI file:" + CRLF + FileName;
                return false;
            }
            FirstPart[FirstCount] = KeptLine(line);
            if (Contains(lower, "!pelvarnbegin")) state = TState::InMiddle;
            break;
        case TState::InMiddle:
            if (trimmed.empty()) break;
            if (Contains(lower, "!pelvarnend")) {
                state = TState::InLast;
                LastCount = 1;
                LastPart[1] = "!pelvarnend";
                break;
            }
            if (static_cast<int>(middle.size()) + 1 > MaxMiddleLines) {
                Msg = "Too many lines in middle part of STI file:" + CRLF + FileName + CRLF +
                      " Max is " + std::to_string(MaxMiddleLines);
                return false;
            }
            middle.push_back(trimmed);
            break;
        case TState::InLast:
            if (++LastCount > MaxPartLines) {
                Msg = "Too many lines in last part of STI file:" + CRLF + FileName + CRLF +
                      " Max is " + std::to_string(MaxPartLines);
                return false;
            }
            LastPart[LastCount] = KeptLine(line);
            break;
        }
    }
    file.Close();

    if (state == TState::LookingForBegin) {
        Msg = "Could not find \"!pelvarnbegin\" line in STI file:" + CRLF + FileName;
        return false;
    }
    if (state == TState::InMiddle) {
        Msg = "Could not find \"!pelvarnend\" line in STI file:" + CRLF + FileName;
        return false;
    }
    if (middle.size() % 3 != 0) {
        Msg = "Number of lines in middle part of STI file " + FileName + " was not a multiple of 3";
        return false;
    }
    const std::size_t triples = middle.size() / 3;
    // The line limit admits up to 666 triples, but the record table holds 500.
    if (triples > static_cast<std::size_t>(MaxSubs)) {
        Msg = "Too many substitutions in middle part of STI file:" + CRLF + FileName + CRLF +
              " Found " + std::to_string(triples) + ", max is " + std::to_string(MaxSubs);
        return false;
    }
    NSub = static_cast<std::int32_t>(triples);
    for (std::int32_t k = 1; k <= NSub; ++k) {
        std::size_t base = static_cast<std::size_t>(3 * (k - 1));
        if (!ParseSubTriple(middle[base], middle[base + 1], middle[base + 2], Subs[k], Msg))
            return false;
    }
    std::vector<std::string> lowerNames(static_cast<std::size_t>(NSub) + 1);
    for (std::int32_t k = 1; k <= NSub; ++k)
        lowerNames[k] = AsciiLower(Subs[k].VarName);
    for (std::int32_t i = 1; i < NSub; ++i) {
        for (std::int32_t j = i + 1; j <= NSub; ++j) {
            if (lowerNames[i] == lowerNames[j]) {
                Msg = "Variable " + Subs[i].VarName + " appears twice in STI file";
                return false;
            }
        }
    }
    return true;
}

std::string CndFileName(const std::string& stiFileName) {
    return ChangeFileExt(stiFileName, ".cnd");
}

void WriteSTIFile(const std::string& FileName, const TSubInfo& Subs, std::int32_t NSub,
                  const TSubOrder& Order, bool flushToDisk) {
    std::string sti, cnd;
    for (std::int32_t i = 1; i <= FirstCount; ++i)
        sti += FirstPart[i] + CRLF;
    for (std::int32_t i = 1; i <= NSub; ++i) {
        const TSubRecord& rec = Subs[Order[i]];
        WriteSubTriple(sti, rec);
        WriteCndLine(cnd, rec);
    }
    for (std::int32_t i = 1; i <= LastCount; ++i)
        sti += LastPart[i] + CRLF;
    ReplaceFilesTogether({{CndFileName(FileName), cnd}, {FileName, sti}}, flushToDisk);
}

} // namespace pelvarn
