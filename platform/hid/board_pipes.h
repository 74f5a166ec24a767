#pragma once
// Virtual boards on Windows: the wire protocol of the virtual boards over named pipes in message mode.
//
// A board creates one pipe under a random name (first instance, one instance, current user only) and a
// marker file "<name>.pipe" in the board folder that holds the pipe's name; the system deletes the marker
// when the board's process ends. The engine lists the markers in byte order of their names; a marker's
// full path is the board's device path. The hello and the reports travel as one pipe message each.
#include <cstddef>

namespace zelk::hid::pipes {

inline constexpr const char* kMarkerSuffix = ".pipe";
inline constexpr const char* kPipeNamespace = "\\\\.\\pipe\\";
// The marker holds at most this many bytes: the pipe's full name.
inline constexpr std::size_t kMaxMarkerBytes = 255;

} // namespace zelk::hid::pipes
