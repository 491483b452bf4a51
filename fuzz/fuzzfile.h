// Helpers shared by the fuzz targets: a scratch file per process (in memory where the
// system has a RAM disk) that the file-reading code under test opens by name, and the
// line splitting of the project's text reader for the readers that take lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pelvarn::fuzz {

// A path of this process's own in a scratch folder, distinct per tag.
std::string ScratchPath(const std::string& tag);

// Replaces the file at path with exactly these bytes (aborts when that fails: the harness
// itself is then broken, not the code under test).
void WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size);

// The bytes split as the text reader splits a file: CR LF, lone LF and lone CR end a line,
// byte 26 ends the text.
std::vector<std::string> SplitLines(const std::uint8_t* data, std::size_t size);

// Stops the run with a message when a property does not hold.
void Expect(bool holds, const char* what);

} // namespace pelvarn::fuzz
