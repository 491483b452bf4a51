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

std::string LastFileErrorText() { return MessageFor(GetLastError()); }

TInFile::~TInFile() { Close(); }

bool TInFile::Open(const std::string& fileName, std::string& sysMessage) {
    Close();
    HANDLE h = CreateFileA(fileName.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        sysMessage = MessageFor(GetLastError());
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

void ReplaceFileContents(const std::string& path, std::string_view data) {
    std::string temp = path + ".~tmp";
    {
        THandleGuard out{CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (out.H == INVALID_HANDLE_VALUE) Throw("Cannot create file", path, GetLastError());
        const char* p = data.data();
        std::size_t left = data.size();
        while (left > 0) {
            DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
            DWORD written = 0;
            if (!WriteFile(out.H, p, chunk, &written, nullptr) || written == 0) {
                DWORD err = written == 0 && GetLastError() == 0 ? ERROR_DISK_FULL : GetLastError();
                CloseHandle(out.H);
                out.H = INVALID_HANDLE_VALUE;
                DeleteFileA(temp.c_str());
                Throw("Cannot write file", path, err);
            }
            p += written;
            left -= written;
        }
        if (!CloseHandle(out.H)) {
            DWORD err = GetLastError();
            out.H = INVALID_HANDLE_VALUE;
            DeleteFileA(temp.c_str());
            Throw("Cannot write file", path, err);
        }
        out.H = INVALID_HANDLE_VALUE;
    }
    if (!MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DWORD err = GetLastError();
        DeleteFileA(temp.c_str());
        Throw("Cannot replace file", path, err);
    }
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

void DeleteFileQuietly(const std::string& path) { DeleteFileA(path.c_str()); }

} // namespace pelvarn
