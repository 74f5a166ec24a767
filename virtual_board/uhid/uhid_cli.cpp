#include "virtual_board/uhid/uhid_cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace zelk::vboard {

std::string uhidUsage() {
    return "Usage: kaldex-uhid [OPTION]...\n"
           "A virtual KALDEX board in the kernel: a HID device made through /dev/uhid, with a hidraw\n"
           "node as a plugged-in board has, until interrupted. Needs the uhid module and access to\n"
           "/dev/uhid (root by default).\n"
           "\n"
           "  --vendor ID      vendor ID, 0xNNNN or decimal (default the KALDEX maker's)\n"
           "  --product ID     product ID (default 0x0100)\n"
           "  --in-len N       input report length with the report ID byte, 4 to 255 (default 9)\n"
           "  --out-len N      output report length with the report ID byte, 4 to 255 (default 9)\n"
           "  --stay           keep running at the end of standard input\n"
           "  --help           show this help\n"
           "\n"
           "Standard input takes one command per line: 'port0 0xFE' sets the port-0 input value,\n"
           "'press N' energizes pin N (0-7; its bit becomes 0), 'release N' de-energizes it,\n"
           "'unplug' removes the board from the system and 'plug' brings it back.\n"
           "Each change of the port-1 output is printed as 'port1 0xNN'.\n"
           "Exit status: 0 when ended (SIGINT, SIGTERM, end of input), 1 when the kernel refused the\n"
           "board, 2 for a bad command line, 3 when /dev/uhid cannot be opened.\n";
}

std::optional<UhidOptions> parseUhidOptions(const std::vector<std::string>& args, std::string& error) {
    UhidOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--stay") {
            options.stay = true;
            continue;
        }
        if (arg != "--vendor" && arg != "--product" && arg != "--in-len" && arg != "--out-len") {
            error = "unknown option: " + arg;
            return std::nullopt;
        }
        if (i + 1 == args.size()) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        if (!parseBoardOption(arg, args[++i], options.board, error)) return std::nullopt;
    }
    return options;
}

std::string uhidOpenFailure(int errorNumber) {
    const std::string path = "/dev/uhid";
    switch (errorNumber) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "there is no " + path +
               ": this kernel has no uhid module loaded (load it: sudo modprobe uhid)";
    case EACCES:
    case EPERM:
        return "no permission to open " + path +
               ": by default only root may (run kaldex-uhid with sudo, or give your user access to it)";
    default:
        return "cannot open " + path + ": " + std::strerror(errorNumber);
    }
}

std::string closedText(const UhidNotice& closed) {
    char text[160];
    const double seconds = std::chrono::duration<double>(closed.firstToLast).count();
    if (closed.readRequests < 2 || seconds <= 0) {
        std::snprintf(text, sizeof text, "kaldex-uhid: closed after %llu read requests\n",
                      static_cast<unsigned long long>(closed.readRequests));
    } else {
        // Requests per second between the first and the last: the rate of the host's cycle at the board.
        std::snprintf(text, sizeof text,
                      "kaldex-uhid: closed after %llu read requests in %.2f s (%.1f per second, longest gap "
                      "%.1f ms)\n",
                      static_cast<unsigned long long>(closed.readRequests), seconds,
                      static_cast<double>(closed.readRequests - 1) / seconds,
                      std::chrono::duration<double, std::milli>(closed.longestGap).count());
    }
    return text;
}

std::string findHidrawNode(const std::string& phys, const std::string& sysRoot) {
    namespace fs = std::filesystem;
    std::error_code error;
    const std::string wanted = "HID_PHYS=" + phys;
    for (const auto& device : fs::directory_iterator(sysRoot + "/bus/hid/devices", error)) {
        std::ifstream uevent(device.path() / "uevent");
        bool matches = false;
        for (std::string line; !matches && std::getline(uevent, line);)
            matches = line == wanted;
        if (!matches) continue;
        for (const auto& node : fs::directory_iterator(device.path() / "hidraw", error))
            return "/dev/" + node.path().filename().string();
    }
    return {};
}

} // namespace zelk::vboard
