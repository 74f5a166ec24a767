#pragma once
// Texts of a test script and of the engine as the report words them (escaped, long ones cut), and counts.
#include "cli/shown_text.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zelk::vtest {

using cli::escapedUtf8;
using cli::quoted;
using cli::quotedUtf8;
using cli::shownUtf8;

// "1 cycle", "300 cycles".
std::string counted(std::int64_t n, std::string_view noun);

} // namespace zelk::vtest
