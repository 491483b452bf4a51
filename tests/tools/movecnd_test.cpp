#include <gtest/gtest.h>

#include <vector>

#include "platform/fileio.h"
#include "support/tempdir.h"
#include "tools/movecnd.h"

using namespace pelvarn;
using pelvarn::test::ReadBytes;
using pelvarn::test::TTempDir;

namespace {

using TLines = std::vector<std::string>;

const std::string Mark = "! commented out by Pelvarn:";

// The expected output: the body as written in place, then the listed statements between
// the markers.
TLines Expected(TLines body, const TLines& listed) {
    body.push_back("!pelvarnbegin!");
    body.insert(body.end(), listed.begin(), listed.end());
    body.push_back("!pelvarnend!");
    return body;
}

struct TCase {
    const char* Name;
    TLines Input;
    TLines Body;
    TLines Listed;
};

const TCase Cases[] = {
    {"statement with trailing comment",
     {"Substitute p_x using E_x; ! eliminate p_x"},
     {Mark + "Substitute p_x using E_x; !"},
     {"Substitute p_x using E_x; "}},
    {"commented statement listed between two bangs",
     {"!backsolve q using E_q;!", "!SUBSTITUTE r using E_r; ! old"},
     {Mark + "backsolve q using E_q;!", Mark + "SUBSTITUTE r using E_r; !"},
     {"!backsolve q using E_q;!", "!SUBSTITUTE r using E_r; !"}},
    {"statements in order, other lines untouched",
     {"Equation E_a a = b;", "backsolve a using E_a;", "  keep\tthis  ", "substitute b using E_b;"},
     {"Equation E_a a = b;", Mark + "backsolve a using E_a;!", "  keep\tthis  ",
      Mark + "substitute b using E_b;!"},
     {"backsolve a using E_a;", "substitute b using E_b;"}},
    {"inside a bracketed comment nothing moves",
     {"![[! notes", "Substitute a using E_a;", "!]]!", "Substitute c using E_c;"},
     {"![[! notes", "Substitute a using E_a;", "!]]!", Mark + "Substitute c using E_c;!"},
     {"Substitute c using E_c;"}},
    {"statement on the line that opens a bracketed comment",
     {"Substitute a using E_a; ![[! opens here", "still comment", "!]]!", "Backsolve b using E_b;"},
     {"Substitute a using E_a; ![[! opens here", "still comment", "!]]!",
      Mark + "Backsolve b using E_b;!"},
     {"Backsolve b using E_b;"}},
    {"line holding both brackets leaves the count",
     {"![[! short !]]!", "Substitute x using E_x;"},
     {"![[! short !]]!", Mark + "Substitute x using E_x;!"},
     {"Substitute x using E_x;"}},
    // The count stays one below from then on: every later bracketed comment is read as code.
    {"stray closer makes the count negative",
     {"!]]!", "Substitute a using E_a;", "![[!", "Substitute b using E_b;", "!]]!", "![[!",
      "Substitute c using E_c;", "!]]!"},
     {"!]]!", Mark + "Substitute a using E_a;!", "![[!", Mark + "Substitute b using E_b;!", "!]]!",
      "![[!", Mark + "Substitute c using E_c;!", "!]]!"},
     {"Substitute a using E_a;", "Substitute b using E_b;", "Substitute c using E_c;"}},
    {"an opener counts once per line",
     {"![[! one ![[! two", "Substitute a using E_a;", "!]]!", "Substitute b using E_b;"},
     {"![[! one ![[! two", "Substitute a using E_a;", "!]]!", Mark + "Substitute b using E_b;!"},
     {"Substitute b using E_b;"}},
    {"a closer counts once per line",
     {"![[!", "x !]]! y !]]!", "![[!", "Substitute a using E_a;", "!]]!"},
     {"![[!", "x !]]! y !]]!", "![[!", "Substitute a using E_a;", "!]]!"},
     {}},
    {"tabs and repeated blanks cleaned before the test",
     {"\tSUBSTITUTE\t\tx  using   E_x;", "!\tsubstitute y using E_y;", "!  BACKSOLVE z using E_z;"},
     {Mark + "SUBSTITUTE x using E_x;!", Mark + " substitute y using E_y;!",
      Mark + " BACKSOLVE z using E_z;!"},
     {"SUBSTITUTE x using E_x;", "! substitute y using E_y;!", "! BACKSOLVE z using E_z;!"}},
    {"'! SUBSTITUTE' needs no blank after it, '! BACKSOLVE' does",
     {"! SUBSTITUTEd variables follow", "! BACKSOLVEd ones too"},
     {Mark + " SUBSTITUTEd variables follow!", "! BACKSOLVEd ones too"},
     {"! SUBSTITUTEd variables follow!"}},
    {"longer words and bare keywords are not statements",
     {"Substitutes are listed below", "SUBSTITUTEX y;", "!SUBSTITUTEx y;", "!BACKSOLVEx y;",
      "BACKSOLVE", "  substitute  ", "Equation E_s substitute = 1;", "! Backsolved later"},
     {"Substitutes are listed below", "SUBSTITUTEX y;", "!SUBSTITUTEx y;", "!BACKSOLVEx y;",
      "BACKSOLVE", "  substitute  ", "Equation E_s substitute = 1;", "! Backsolved later"},
     {}},
    {"leading blanks: the cleaned line is written and listed",
     {"   Substitute  x using E_x;  "},
     {Mark + "Substitute x using E_x;!"},
     {"Substitute x using E_x;"}},
    {"a statement over several lines: only its first line moves",
     {"Substitute x", "   using E_x;"},
     {Mark + "Substitute x!", "   using E_x;"},
     {"Substitute x"}},
    {"no statements: the input and the two markers", {"a", "", "b"}, {"a", "", "b"}, {}},
    {"empty input", {}, {}, {}},
};

} // namespace

TEST(MoveCondensations, Cases) {
    for (const TCase& c : Cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(MoveCondensations(c.Input), Expected(c.Body, c.Listed));
    }
}

TEST(MoveCondensations, BytesOutsidePrintableRangeOnlyMatterForTheTest) {
    // Copied lines keep every byte; a moved one is written cleaned.
    const TLines in = {std::string("caf\xE9 \x01 x"), std::string("Substitute\xA0x using E_x;")};
    EXPECT_EQ(MoveCondensations(in),
              Expected({in[0], Mark + "Substitute x using E_x;!"}, {"Substitute x using E_x;"}));
}

TEST(MoveCondensationsFile, WritesCrLfBytesExactly) {
    TTempDir dir;
    // Every line-end form, a last line without one, and bytes after Ctrl-Z that are not read.
    std::string in = dir.Write("Model.ksx", "File x;\nSubstitute p using E_p; ! why\r"
                                            "Equation E_p p = q;\r\n!Backsolve q using E_q;!\r\n"
                                            "last\x1A"
                                            "after");
    std::string out = dir.File("new.KSX");
    EXPECT_EQ(MoveCondensationsFile(in, out), 2);
    EXPECT_EQ(ReadBytes(out), "File x;\r\n"
                              "! commented out by Pelvarn:Substitute p using E_p; !\r\n"
                              "Equation E_p p = q;\r\n"
                              "! commented out by Pelvarn:Backsolve q using E_q;!\r\n"
                              "last\r\n"
                              "!pelvarnbegin!\r\n"
                              "Substitute p using E_p; \r\n"
                              "!Backsolve q using E_q;!\r\n"
                              "!pelvarnend!\r\n");
}

TEST(MoveCondensationsFile, ReplacesAnEarlierOutputAndKeepsTheInput) {
    TTempDir dir;
    const std::string original = "a\r\nSubstitute x using E_x;\r\n";
    std::string in = dir.Write("m.ksx", original);
    std::string out = dir.Write("new.KSX", "an older, longer output file\r\n\r\n\r\n");
    EXPECT_EQ(MoveCondensationsFile(in, out), 1);
    EXPECT_EQ(ReadBytes(out), "a\r\n! commented out by Pelvarn:Substitute x using E_x;!\r\n"
                              "!pelvarnbegin!\r\nSubstitute x using E_x;\r\n!pelvarnend!\r\n");
    EXPECT_EQ(ReadBytes(in), original);
}

TEST(MoveCondensationsFile, MissingInputThrowsAndWritesNothing) {
    TTempDir dir;
    std::string out = dir.Write("new.KSX", "earlier\r\n");
    EXPECT_THROW(MoveCondensationsFile(dir.File("none.ksx"), out), TFileError);
    EXPECT_EQ(ReadBytes(out), "earlier\r\n");
}

TEST(KsxPaths, FolderInputAndOutput) {
    struct TPathCase {
        const char* Chosen;
        const char* Lower;
        bool IgnoreCase;
        char Delim;
        const char* Folder;
        const char* Input;
        const char* Output;
    } cases[] = {
        {"C:\\Models\\My.KSX", "my.ksx", true, '\\', "C:\\Models", "C:\\Models\\my.ksx",
         "C:\\Models\\new.KSX"},
        {"C:\\My.ksx", "my.ksx", true, '\\', "C:\\", "C:\\my.ksx", "C:\\new.KSX"},
        {"\\\\srv\\share\\M.KSX", "m.ksx", true, '\\', "\\\\srv\\share", "\\\\srv\\share\\m.ksx",
         "\\\\srv\\share\\new.KSX"},
        {"Model.KSX", "model.ksx", true, '\\', "", "model.ksx", "new.KSX"},
        {"/home/u/Model.KSX", "model.ksx", false, '/', "/home/u", "/home/u/Model.KSX",
         "/home/u/new.KSX"},
        {"/Model.ksx", "model.ksx", false, '/', "/", "/Model.ksx", "/new.KSX"},
        {"sub/Model.ksx", "model.ksx", false, '/', "sub", "sub/Model.ksx", "sub/new.KSX"},
        {"Model.ksx", "model.ksx", false, '/', "", "Model.ksx", "new.KSX"},
    };
    for (const TPathCase& c : cases) {
        SCOPED_TRACE(c.Chosen);
        TKsxPaths p = KsxPathsFor(c.Chosen, c.Lower, c.IgnoreCase, c.Delim);
        EXPECT_EQ(p.Folder, c.Folder);
        EXPECT_EQ(p.LowerName, c.Lower);
        EXPECT_EQ(p.Input, c.Input);
        EXPECT_EQ(p.Output, c.Output);
    }
}

TEST(KsxPaths, OutputNameIsRefused) {
    EXPECT_TRUE(IsOutputName("new.ksx"));
    EXPECT_FALSE(IsOutputName("new.ksx.bak"));
    EXPECT_FALSE(IsOutputName("anew.ksx"));
    EXPECT_FALSE(IsOutputName("new.sti"));
}
