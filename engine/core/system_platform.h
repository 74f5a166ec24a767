#pragma once
// The platform of the real engine: HID devices and virtual boards, the system timer, local time, the
// current directory and the host's clipboard hook.
#include "clipboard/clipboard.h"
#include "core/engine_platform.h"

namespace zelk {

class SystemPlatform final : public Platform {
public:
    SystemPlatform();
    ~SystemPlatform() override;

    hid::Backend& devices() override { return *devices_; }
    std::unique_ptr<timer::PeriodicTimer> makeTimer() override;
    LocalTime now() override;
    void sleepMs(int milliseconds) override;
    bool currentDirectory(std::string& directory) override;
    void putClipboard(const char* text) override { clipboard_.put(text); }

private:
    std::unique_ptr<hid::Backend> devices_;
    clipboard::Clipboard clipboard_;
};

} // namespace zelk
