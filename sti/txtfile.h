// Buffered reading of text files line by line, and two clean-up functions for single lines.
// A line ends at CR LF, a lone LF or a lone CR; a byte 26 (Ctrl-Z) ends the file.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/fileio.h"

namespace pelvarn {

class TTextFile {
  public:
    static constexpr std::size_t BufferSize = 60001;

    // Opens for reading; throws TFileError with the system's message on failure.
    void Open(const std::string& fileName);
    // Opens for reading; false with the system's message on failure.
    bool TryOpen(const std::string& fileName, std::string& sysMessage);
    // Next line without its line end; false at the end of the file. Read errors throw.
    bool ReadLine(std::string& line);
    bool Close();
    bool IsOpen() const { return File.IsOpen(); }
    bool HasBuffer() const { return Buffer != nullptr; }

  private:
    bool Fill();

    TInFile File;
    std::unique_ptr<char[]> Buffer;
    std::size_t Pos = 0, Len = 0;
    bool AtEnd = false;
};

// Opening and closing with the failure reported as text ("...[TxtOpen]", "...[TxtClose]").
bool TxtOpen(TTextFile& f, const std::string& fileName, std::string& msg);
bool TxtClose(TTextFile& f, std::string& msg);

// Every run of blanks becomes one blank; only the blank (32) counts.
std::string CollapseBlanks(std::string_view s);
// Every character below 33 or above 126 becomes a blank; the length is kept.
std::string BlankNonPrintables(std::string_view s);

} // namespace pelvarn
