// The KSX tool on any file: the output holds every input line, moved statements in place as
// marked comments, and the moved section; read back it is what was written.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzzfile.h"
#include "platform/fileio.h"
#include "tools/movecnd.h"

using namespace pelvarn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string input = fuzz::ScratchPath("model.ksx");
    static const std::string output = fuzz::ScratchPath("new.KSX");
    fuzz::WriteScratch(input, data, size);
    const std::vector<std::string> lines = fuzz::SplitLines(data, size);
    fuzz::Expect(ReadKsxLines(input) == lines, "the file is read as the text reader splits it");

    const std::int32_t moved = MoveCondensationsFile(input, output);
    const std::vector<std::string> out = ReadKsxLines(output);
    fuzz::Expect(out == MoveCondensations(lines), "the output file holds the rewritten lines");
    fuzz::Expect(moved >= 0 && out.size() == lines.size() + 2 + static_cast<std::size_t>(moved),
                 "every input line kept, the moved ones repeated once, two markers");
    fuzz::Expect(out[lines.size()] == MovedSectionBegin && out.back() == MovedSectionEnd,
                 "the moved section is marked");
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (out[i] != lines[i])
            fuzz::Expect(out[i].rfind(MovedStatementMark, 0) == 0,
                         "a changed line is a statement commented out");
    return 0;
}
