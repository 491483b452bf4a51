#include "sti/cputime.h"

#include <cmath>

#include "base/mystrucs.h"
#include "base/textutil.h"
#include "sti/txtfile.h"

namespace pelvarn {

bool GetCPUTime(const std::string& FileName, float& Seconds, std::string& Msg) {
    static const std::string Phrase = "Total CPU is";
    Msg.clear();
    TTextFile log;
    if (!TxtOpen(log, FileName, Msg)) return false;
    std::string line;
    bool found = false;
    while (log.ReadLine(line)) {
        if (Contains(line, Phrase)) {
            found = true;
            break;
        }
    }
    if (!TxtClose(log, Msg)) return false;

    std::size_t p = found ? line.find(Phrase) : std::string::npos;
    if (p == std::string::npos) {
        Msg = "Cannot find \"Total CPU is\" in file " + FileName;
        return false;
    }
    // Drop everything up to the phrase, the phrase itself and the one character after it.
    std::size_t cut = p + Phrase.size() + 1;
    std::string rest = Trim(cut < line.size() ? std::string_view(line).substr(cut) : "");
    std::size_t q = rest.find("seconds");
    if (q == std::string::npos) {
        Msg = "Cannot find \"seconds\" in \"Total CPU is\" line in file " + FileName;
        return false;
    }
    std::string number = Trim(std::string_view(rest).substr(0, q)).substr(0, 255);
    float value = 0.0f;
    std::int32_t code = 0;
    StrToSingle(number, value, code);
    if (code != 0) {
        Msg = "Cannot read time from \"Total CPU is\" line in file " + FileName +
              "\r\nstring was :" + number;
        return false;
    }
    // A time below zero, or one too large for a 32-bit number, would beat or spoil every
    // comparison that follows: it is no time at all.
    if (!std::isfinite(value) || value < 0.0f) {
        Msg = std::string(value < 0.0f ? "Time below zero" : "Time out of range") +
              " in \"Total CPU is\" line in file " + FileName + "\r\nstring was :" + number;
        return false;
    }
    Seconds = value + 0.0f; // -0 reads as 0
    return true;
}

} // namespace pelvarn
