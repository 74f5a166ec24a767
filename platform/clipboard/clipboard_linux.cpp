// The clipboard through the host's hook: the engine hands the text over and the host puts it on the desktop.
#include "clipboard/clipboard.h"

#include <array>
#include <cstring>
#include <dlfcn.h>

namespace zelk::clipboard {

Clipboard::Clipboard() {
    hook_ = reinterpret_cast<HostClipboardHook>(dlsym(RTLD_DEFAULT, kHostClipboardHook));
}

bool Clipboard::put(const char* text) const {
    if (hook_ == nullptr) return false;
    std::array<char, kBlockBytes> block{};
    std::strncpy(block.data(), text, block.size() - 1);
    hook_(block.data());
    return true;
}

} // namespace zelk::clipboard
