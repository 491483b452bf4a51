// A temporary folder of the test's own, removed with everything in it afterwards.
#pragma once

#include <string>
#include <string_view>

namespace pelvarn::test {

class TTempDir {
  public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::string& Path() const { return Root; }
    // Path of a file inside the folder, with the platform's separator.
    std::string File(std::string_view name) const;
    // Writes the bytes exactly as given and returns the file's path.
    std::string Write(std::string_view name, std::string_view bytes) const;

  private:
    std::string Root;
};

// The whole content of a file ("" when it cannot be read).
std::string ReadBytes(const std::string& path);

} // namespace pelvarn::test
