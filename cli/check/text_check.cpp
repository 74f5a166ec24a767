#include "cli/check/text_check.h"

#include "cli/check/field_text.h"
#include "profile/file_access.h"
#include "program/keys.h"

#include <algorithm>

namespace zelk::check {

namespace {

bool hasMainBlock(const std::vector<profile::Entry>& entries) {
    return std::any_of(entries.begin(), entries.end(), [](const profile::Entry& entry) {
        return entry.isHeader && entry.counts && upperAscii(entry.section) == keys::kMainBlock;
    });
}

// Whether the first line, after the mark, begins as a section header does.
bool firstLineIsHeader(std::string_view bytes) {
    const std::size_t first = bytes.find_first_not_of(" \t\v", profile::kUtf8ByteOrderMark.size());
    return first != std::string_view::npos && bytes[first] == '[';
}

} // namespace

bool checkText(std::string_view bytes, const std::vector<profile::Entry>& entries, Findings& out) {
    const auto add = [&](std::size_t fileLine, std::string message) {
        out.push_back({{}, -1, {}, fileLine, std::move(message)});
    };
    const profile::TextForm form = profile::textForm(bytes);
    if (form == profile::TextForm::Utf16) {
        add(0, "the file is UTF-16 text: the engine reads code page 932 and finds none of its sections and "
               "keys");
        return false;
    }
    if (form == profile::TextForm::Utf8ByteOrderMark)
        add(1, std::string("the file begins with a UTF-8 byte order mark: the engine reads code page 932 and "
                           "takes the mark as part of line 1") +
                   (firstLineIsHeader(bytes) ? ", which then is no section header" : ""));
    if (bytes.empty())
        add(0, "the file is empty: the engine loads no variables and no lines");
    else if (std::all_of(entries.begin(), entries.end(), [](const profile::Entry& e) { return e.isStray; }))
        add(0, "the file holds no section and no key: the engine loads no variables and no lines");
    else if (!hasMainBlock(entries))
        add(0, "the file has no [LG_MAIN] section: the engine runs no lines");
    return true;
}

Findings textFindings(const std::string& path) {
    std::string bytes;
    Findings found;
    if (profile::detail::readWholeFile(path, bytes) == profile::detail::ReadStatus::Ok)
        checkText(bytes, profile::entriesOf(bytes), found);
    return found;
}

} // namespace zelk::check
