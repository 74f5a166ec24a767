#include "cli/json.h"

#include <cstdio>

namespace zelk::cli {

std::string jsonString(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                out += escape;
            } else {
                out += c;
            }
        }
    }
    return out + '"';
}

void JsonObject::name(std::string_view name) {
    if (text_.size() > 1) text_ += ',';
    text_ += jsonString(name) + ':';
}

JsonObject& JsonObject::field(std::string_view name, std::string_view text) {
    this->name(name);
    text_ += jsonString(text);
    return *this;
}

JsonObject& JsonObject::field(std::string_view name, std::int64_t number) {
    this->name(name);
    text_ += std::to_string(number);
    return *this;
}

JsonObject& JsonObject::value(std::string_view name, std::string_view json) {
    this->name(name);
    text_ += json;
    return *this;
}

} // namespace zelk::cli
