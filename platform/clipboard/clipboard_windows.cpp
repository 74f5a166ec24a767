// The Windows clipboard, written by the engine itself from the control cycle: the text goes in a global
// memory block that the clipboard takes over as CF_TEXT, text in the system's ANSI code page (932 on the
// Japanese systems the engine is made for).
#include "clipboard/clipboard.h"

#include <cstring>

#include <windows.h>

namespace zelk::clipboard {

Clipboard::Clipboard() = default;

bool Clipboard::put(const char* text) const {
    // Moveable and shareable, as the clipboard requires of the blocks it takes over.
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, kBlockBytes);
    if (block == nullptr) return false;
    auto* bytes = static_cast<char*>(GlobalLock(block));
    if (bytes == nullptr) {
        GlobalFree(block);
        return false;
    }
    // strncpy fills the rest of the block with NULs; the last byte stays NUL when the text is cut.
    std::strncpy(bytes, text, kBlockBytes - 1);
    bytes[kBlockBytes - 1] = '\0';
    GlobalUnlock(block);

    // Opened without an owner window. When another program holds the clipboard open, its content stays and
    // nobody took the block, so it is freed here.
    if (!OpenClipboard(nullptr)) {
        GlobalFree(block);
        return false;
    }
    EmptyClipboard();
    // On success the clipboard owns the block and frees it when its content is next replaced; on failure
    // the block is still ours.
    const bool handedOver = SetClipboardData(CF_TEXT, block) != nullptr;
    CloseClipboard();
    if (!handedOver) GlobalFree(block);
    return handedOver;
}

} // namespace zelk::clipboard
