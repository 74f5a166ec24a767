#pragma once
// One JSON object on one line, for log collectors and tools.
#include <cstdint>
#include <string>
#include <string_view>

namespace zelk::cli {

// UTF-8 text as a JSON string, quotes included: '"', '\' and the control characters are escaped.
std::string jsonString(std::string_view utf8);

// Builds {"name":value,...} in the order the fields are added.
class JsonObject {
public:
    JsonObject& field(std::string_view name, std::string_view text);
    JsonObject& field(std::string_view name, std::int64_t number);
    // A value that is JSON text already: an array, an object, true or false.
    JsonObject& value(std::string_view name, std::string_view json);
    // The object, closed.
    std::string str() const { return text_ + '}'; }

private:
    void name(std::string_view name);
    std::string text_ = "{";
};

} // namespace zelk::cli
