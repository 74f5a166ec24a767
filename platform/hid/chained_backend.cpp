#include "hid/chained_backend.h"
#include "hid/backends.h"
#ifdef _WIN32
#include "hid/windows_hid.h"
#endif

#include <map>
#include <string>
#include <utility>

namespace zelk::hid {
namespace {

class ChainedBackend : public Backend {
public:
    explicit ChainedBackend(std::vector<std::unique_ptr<Backend>> backends)
        : backends_(std::move(backends)) {}

    std::vector<std::string> enumerate() override {
        std::vector<std::string> paths;
        owners_.clear();
        for (auto& backend : backends_) {
            for (auto& path : backend->enumerate()) {
                // The first backend to list a path owns it.
                if (!owners_.emplace(path, backend.get()).second) continue;
                paths.push_back(std::move(path));
            }
        }
        return paths;
    }

    std::unique_ptr<Device> open(const std::string& path) override {
        lastOpenError_ = {OpenFailure::Missing, 0};
        const auto owner = owners_.find(path);
        if (owner != owners_.end()) return openWith(*owner->second, path);
        for (auto& backend : backends_) {
            if (auto device = openWith(*backend, path)) return device;
        }
        return nullptr;
    }

    // An unlisted path that no backend opens keeps the reason of the last backend that tried.
    OpenError lastOpenError() const override { return lastOpenError_; }

    bool listedAttributes(const std::string& path, std::uint16_t& vendorId,
                          std::uint16_t& productId) override {
        const auto owner = owners_.find(path);
        return owner != owners_.end() && owner->second->listedAttributes(path, vendorId, productId);
    }

private:
    std::unique_ptr<Device> openWith(Backend& backend, const std::string& path) {
        std::unique_ptr<Device> device = backend.open(path);
        lastOpenError_ = device ? OpenError{} : backend.lastOpenError();
        return device;
    }

    std::vector<std::unique_ptr<Backend>> backends_;
    std::map<std::string, Backend*> owners_;
    OpenError lastOpenError_;
};

} // namespace

std::unique_ptr<Backend> makeChainedBackend(std::vector<std::unique_ptr<Backend>> backends) {
    return std::make_unique<ChainedBackend>(std::move(backends));
}

std::unique_ptr<Backend> makeSystemBackend(std::string virtualDirectory) {
    std::vector<std::unique_ptr<Backend>> backends;
#ifdef _WIN32
    backends.push_back(winhid::makeBackend(winhid::makeWin32System()));
#else
    backends.push_back(makeHidapiBackend());
#endif
    backends.push_back(makeVirtualBackend(std::move(virtualDirectory)));
    return makeChainedBackend(std::move(backends));
}

} // namespace zelk::hid
