#include "sti/txtfile.h"

#include "base/textutil.h"

namespace pelvarn {

void TTextFile::Open(const std::string& fileName) {
    std::string sysMessage;
    if (!TryOpen(fileName, sysMessage))
        throw TFileError("Cannot open file " + fileName + ": " + sysMessage);
}

bool TTextFile::TryOpen(const std::string& fileName, std::string& sysMessage) {
    Close();
    if (!File.Open(fileName, sysMessage)) return false;
    // Only the bytes read are looked at: the buffer is not cleared first.
    Buffer = std::make_unique_for_overwrite<char[]>(BufferSize);
    Pos = Len = 0;
    AtEnd = false;
    return true;
}

bool TTextFile::Fill() {
    if (AtEnd) return false;
    Pos = 0;
    Len = File.Read(Buffer.get(), BufferSize);
    if (Len == 0) AtEnd = true;
    return Len > 0;
}

bool TTextFile::ReadLine(std::string& line) {
    line.clear();
    if (!File.IsOpen()) return false;
    bool any = false;
    for (;;) {
        if (Pos >= Len && !Fill()) return any;
        const char* start = Buffer.get() + Pos;
        const char* end = Buffer.get() + Len;
        const char* p = start;
        while (p < end && *p != '\r' && *p != '\n' && *p != 26)
            ++p;
        line.append(start, p);
        Pos += static_cast<std::size_t>(p - start);
        if (p == end) {
            any = any || p != start;
            continue;
        }
        char c = *p;
        ++Pos;
        if (c == 26) { // Ctrl-Z: nothing after it is read
            AtEnd = true;
            Len = Pos = 0;
            return any || p != start;
        }
        if (c == '\r') { // CR LF counts as one line end, even across a buffer refill
            if (Pos >= Len) Fill();
            if (Pos < Len && Buffer[Pos] == '\n') ++Pos;
        }
        return true;
    }
}

bool TTextFile::Close() {
    Buffer.reset();
    Pos = Len = 0;
    return File.Close();
}

bool TxtOpen(TTextFile& f, const std::string& fileName, std::string& msg) {
    msg.clear();
    if (fileName.empty()) {
        msg = "Blank File Name[TxtOpen]";
        return false;
    }
    std::string sysMessage;
    if (!f.TryOpen(fileName, sysMessage)) {
        msg = "Cannot open file " + fileName + "[TxtOpen]";
        return false;
    }
    return true;
}

bool TxtClose(TTextFile& f, std::string& msg) {
    msg.clear();
    if (!f.IsOpen()) return true;
    if (!f.Close()) {
        msg = "Cannot close file[TxtClose]";
        return false;
    }
    return true;
}

std::string CollapseBlanks(std::string_view s) {
    std::string r;
    r.reserve(s.size());
    for (char c : s)
        if (!(c == ' ' && !r.empty() && r.back() == ' ')) r += c;
    return r;
}

std::string BlankNonPrintables(std::string_view s) {
    return BlankBytesOutside(s, 33, 126);
}

} // namespace pelvarn
