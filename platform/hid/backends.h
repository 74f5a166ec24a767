#pragma once
// The HID backends of the device link and the backend that the engine uses, which chains them.
#include "hid/hid.h"
#include "hid/virtual_protocol.h"

#include <memory>
#include <string>

namespace zelk::hid {

// Real boards through hidapi (hidraw). Report lengths come from each device's report descriptor.
std::unique_ptr<Backend> makeHidapiBackend();

// Virtual boards: the *.sock sockets in directory, in byte order of their names. The directory is skipped
// unless it is owned by the calling user and has no group or other permissions.
std::unique_ptr<Backend> makeVirtualBackend(std::string directory);

// hidapi devices first, then the virtual boards in virtualDirectory.
std::unique_ptr<Backend> makeSystemBackend(std::string virtualDirectory = vproto::boardDirectory());

} // namespace zelk::hid
