#include "platform/fileio.h"

#include <windows.h>

namespace pelvarn {

namespace {

std::string MessageFor(DWORD code) {
    char buf[1024];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, buf, sizeof buf, nullptr);
    if (n == 0) return "system error " + std::to_string(code);
    std::string text(buf, n);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

[[noreturn]] void Throw(const std::string& what, const std::string& path, DWORD code) {
    throw TFileError(what + " " + path + ": " + MessageFor(code));
}

// Closes a handle on every path out of a scope.
struct THandleGuard {
    HANDLE H;
    ~THandleGuard() {
        if (H != INVALID_HANDLE_VALUE) CloseHandle(H);
    }
};

} // namespace

std::string LastFileErrorText() {
    return MessageFor(GetLastError());
}

TInFile::~TInFile() {
    Close();
}

bool TInFile::Open(const std::string& fileName, std::string& sysMessage) {
    Close();
    HANDLE h = CreateFileA(
        fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        const DWORD attributes = GetFileAttributesA(fileName.c_str());
        // A folder cannot be opened as a file; the system's "access denied" would mislead.
        sysMessage =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                ? std::string(IsAFolderText)
                : MessageFor(err);
        return false;
    }
    // Only a file on a disk is read: a pipe or a device (CON, NUL, COM1) is refused.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        sysMessage = NotARegularFileText;
        return false;
    }
    Handle = h;
    Name = fileName;
    return true;
}

std::size_t TInFile::Read(char* buffer, std::size_t size) {
    DWORD got = 0;
    DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    if (!ReadFile(static_cast<HANDLE>(Handle), buffer, want, &got, nullptr)) {
        DWORD err = GetLastError();
        if (err == ERROR_HANDLE_EOF || err == ERROR_BROKEN_PIPE) return 0;
        Throw("Cannot read file", Name, err);
    }
    return got;
}

bool TInFile::Close() {
    if (!Handle) return true;
    BOOL ok = CloseHandle(static_cast<HANDLE>(Handle));
    Handle = nullptr;
    return ok != 0;
}

std::string WriterTempName(const std::string& path) {
    return WriterTempNameFor(path, GetCurrentProcessId());
}

namespace {

// Writes the data to a new file `temp`; on failure the temporary is removed and the error
// thrown under the name of `path`.
void WriteTemp(const std::string& temp, const std::string& path, std::string_view data,
               bool flushToDisk) {
    THandleGuard out{CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (out.H == INVALID_HANDLE_VALUE) Throw("Cannot create file", path, GetLastError());
    auto fail = [&](DWORD err) {
        CloseHandle(out.H);
        out.H = INVALID_HANDLE_VALUE;
        DeleteFileA(temp.c_str());
        Throw("Cannot write file", path, err);
    };
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(out.H, p, chunk, &written, nullptr) || written == 0)
            fail(written == 0 && GetLastError() == 0 ? ERROR_DISK_FULL : GetLastError());
        p += written;
        left -= written;
    }
    if (flushToDisk && !FlushFileBuffers(out.H)) fail(GetLastError());
    if (!CloseHandle(out.H)) {
        DWORD err = GetLastError();
        out.H = INVALID_HANDLE_VALUE;
        DeleteFileA(temp.c_str());
        Throw("Cannot write file", path, err);
    }
    out.H = INVALID_HANDLE_VALUE;
}

} // namespace

void ReplaceFileContents(const std::string& path, std::string_view data) {
    ReplaceFilesTogether({{path, data}}, false);
}

void ReplaceFilesTogether(const std::vector<TFileContents>& files, bool flushToDisk) {
    std::vector<std::string> temps;
    auto removeTemps = [&](std::size_t from) {
        for (std::size_t i = from; i < temps.size(); ++i)
            DeleteFileA(temps[i].c_str());
    };
    for (const TFileContents& f : files) {
        std::string temp = WriterTempName(f.Path);
        try {
            WriteTemp(temp, f.Path, f.Data, flushToDisk);
        } catch (...) {
            removeTemps(0);
            throw;
        }
        temps.push_back(std::move(temp));
    }
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (flushToDisk ? MOVEFILE_WRITE_THROUGH : 0);
    // Each file but the last keeps its old contents under a second name (a hard link) until
    // all are renamed, so that a failed rename can put back the ones renamed before it.
    std::vector<std::string> backups(files.size());
    std::vector<bool> existed(files.size());
    auto dropBackups = [&]() {
        for (const std::string& b : backups)
            if (!b.empty()) DeleteFileA(b.c_str());
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& path = files[i].Path;
        existed[i] = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (i + 1 < files.size() && existed[i]) {
            std::string backup = WriterTempName(path);
            if (CreateHardLinkA(backup.c_str(), path.c_str(), nullptr))
                backups[i] = std::move(backup);
        }
        if (!MoveFileExA(temps[i].c_str(), path.c_str(), flags)) {
            DWORD err = GetLastError();
            removeTemps(i);
            for (std::size_t j = i; j-- > 0;) {
                if (!backups[j].empty() &&
                    MoveFileExA(backups[j].c_str(), files[j].Path.c_str(), flags))
                    backups[j].clear();
                else if (!existed[j])
                    DeleteFileA(files[j].Path.c_str());
            }
            dropBackups();
            Throw("Cannot replace file", path, err);
        }
    }
    dropBackups();
}

int RemoveLeftoverTempFiles(const std::string& folder) {
    const std::string base = folder.empty() ? std::string(".") : folder;
    const std::string prefix =
        base.back() == '\\' || base.back() == '/' || base.back() == ':' ? base : base + "\\";
    WIN32_FIND_DATAA found{};
    HANDLE h = FindFirstFileA((prefix + "*.tmp").c_str(), &found);
    std::vector<std::string> names;
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                IsWriterTempName(found.cFileName))
                names.push_back(found.cFileName);
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }
    // The old ".~tmp" names do not end in ".tmp".
    h = FindFirstFileA((prefix + "*.~tmp").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                IsWriterTempName(found.cFileName))
                names.push_back(found.cFileName);
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }
    int removed = 0;
    for (const std::string& name : names)
        if (DeleteFileA((prefix + name).c_str())) ++removed;
    return removed;
}

void AppendToFileSynced(const std::string& path, std::string_view data) {
    THandleGuard out{CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (out.H == INVALID_HANDLE_VALUE) Throw("Cannot create file", path, GetLastError());
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(out.H, p, chunk, &written, nullptr) || written == 0) {
            DWORD err = written == 0 && GetLastError() == 0 ? ERROR_DISK_FULL : GetLastError();
            Throw("Cannot write file", path, err);
        }
        p += written;
        left -= written;
    }
    if (!FlushFileBuffers(out.H)) Throw("Cannot write file", path, GetLastError());
}

bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void DeleteFileQuietly(const std::string& path) {
    DeleteFileA(path.c_str());
}

bool DeleteFileIfPresent(const std::string& path, std::string& sysMessage) {
    if (DeleteFileA(path.c_str())) return true;
    DWORD err = GetLastError();
    if (err == ERROR_FILE_NOT_FOUND) return true;
    sysMessage = MessageFor(err);
    return false;
}

} // namespace pelvarn
