#pragma once
// Several backends seen as one: their devices in the order of the backends.
#include "hid/hid.h"

#include <memory>
#include <vector>

namespace zelk::hid {

// enumerate() lists the devices of each backend in turn and remembers which backend listed which path;
// open() hands a listed path to that backend. A path that the last enumeration did not list is offered to
// each backend in turn.
std::unique_ptr<Backend> makeChainedBackend(std::vector<std::unique_ptr<Backend>> backends);

} // namespace zelk::hid
