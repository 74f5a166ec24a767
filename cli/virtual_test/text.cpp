#include "cli/virtual_test/text.h"

namespace zelk::vtest {

std::string counted(std::int64_t n, std::string_view noun) {
    return std::to_string(n) + ' ' + std::string(noun) + (n == 1 ? "" : "s");
}

} // namespace zelk::vtest
