#include "core/log_file_name.h"

#include "codepage/codepage.h"

#include <algorithm>

namespace zelk {

bool logFilePath(std::string_view name, std::string& path) {
    // Decoded first, so that a "\" trail byte of a two-byte character is never taken for a separator.
    std::u16string text = codepage::fromCp932(name);
    if (text.find(u'\uFFFD') != std::u16string::npos) return false;
#ifndef _WIN32
    std::replace(text.begin(), text.end(), u'\\', u'/');
#endif
    path = codepage::toUtf8(text);
    return true;
}

} // namespace zelk
