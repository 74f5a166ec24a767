#pragma once
// Putting code page 932 text on the desktop clipboard from the control cycle.
//
// On Windows the engine places the text on the clipboard itself, as CF_TEXT in a global memory block of
// kBlockBytes, without an owner window.
//
// On Linux the engine cannot own a clipboard itself: the host process (the console) provides a hook function
// under the name kHostClipboardHook, found once in the host with dlsym. The hook takes a NUL-terminated code
// page 932 text, must copy it before it returns and must never block (the console queues it to its GUI
// thread). Without a hook the text goes nowhere.
#include <cstddef>

namespace zelk::clipboard {

// Bytes of the clipboard block, NUL included.
inline constexpr std::size_t kBlockBytes = 128;

inline constexpr const char* kHostClipboardHook = "zelk_host_clipboard_text";
using HostClipboardHook = void (*)(const char* cp932Text);

class Clipboard {
public:
    // On Linux looks the host's hook up, once.
    Clipboard();
    // Places the text, cut to kBlockBytes - 1 bytes, on the clipboard. Returns whether the text was handed
    // over: on Linux false when there is no hook; on Windows false when the block cannot be allocated, when
    // the clipboard cannot be opened (another program holds it open; it keeps its content) or when it does
    // not take the block.
    bool put(const char* text) const;

private:
#ifndef _WIN32
    HostClipboardHook hook_ = nullptr;
#endif
};

} // namespace zelk::clipboard
