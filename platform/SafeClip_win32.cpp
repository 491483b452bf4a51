#include "platform/SafeClip.h"

#include <cstring>
#include <optional>

namespace pelvarn {

namespace {

// A message-only window to own the clipboard while the text is put there.
struct TOwnerWindow {
    HWND Wnd = nullptr;
    TOwnerWindow() {
        Wnd = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    }
    TOwnerWindow(const TOwnerWindow&) = delete;
    TOwnerWindow& operator=(const TOwnerWindow&) = delete;
    ~TOwnerWindow() {
        if (Wnd) DestroyWindow(Wnd);
    }
};

// Frees a global memory block unless the clipboard has taken it over.
struct TGlobalBlock {
    HGLOBAL Block = nullptr;
    TGlobalBlock(const TGlobalBlock&) = delete;
    TGlobalBlock& operator=(const TGlobalBlock&) = delete;
    explicit TGlobalBlock(std::size_t size) : Block(GlobalAlloc(GMEM_MOVEABLE, size)) {}
    ~TGlobalBlock() {
        if (Block) GlobalFree(Block);
    }
};

bool TryCopy(const std::string& text, HWND owner) {
    if (!OpenClipboard(owner)) return false;
    bool ok = false;
    if (EmptyClipboard()) {
        TGlobalBlock block(text.size() + 1);
        if (block.Block) {
            if (void* p = GlobalLock(block.Block)) {
                std::memcpy(p, text.c_str(), text.size() + 1);
                GlobalUnlock(block.Block);
                if (SetClipboardData(CF_TEXT, block.Block)) {
                    block.Block = nullptr; // the clipboard owns it now
                    ok = true;
                }
            }
        }
    }
    CloseClipboard();
    return ok;
}

} // namespace

bool CopyTextSafely(const std::string& Text, HWND Owner) {
    std::optional<TOwnerWindow> ownWindow;
    if (!Owner) ownWindow.emplace();
    HWND owner = Owner ? Owner : ownWindow->Wnd;
    for (int attempt = 1; attempt <= 10; ++attempt) {
        if (TryCopy(Text, owner)) return true;
        Sleep(static_cast<DWORD>(20 * attempt));
    }
    return false;
}

} // namespace pelvarn
