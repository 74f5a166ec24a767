#pragma once
// Texts for a person of why an open, a read or a write failed. Each is written into the caller's fixed
// buffer, NUL-terminated and cut to its size, without allocating: a trace asks for one on the control
// cycle's thread.
#include "hid/hid.h"

#include <cstddef>

namespace zelk::hid {

// A buffer of this size holds each of these texts whole.
inline constexpr std::size_t kReasonTextBytes = 160;

// The system's text for an error number: errno's; on Windows the text of a GetLastError() code.
void systemErrorText(int errorNumber, char* text, std::size_t size);

void describeIoError(const IoError& error, char* text, std::size_t size);
void describeOpenError(const OpenError& error, char* text, std::size_t size);

} // namespace zelk::hid
