#include "cli/prove/property.h"

#include "cli/shown_text.h"

#include <limits>

namespace zelk::prove {

namespace {

using vtest::Token;

// A comma that ends a word is a word of its own: "after in 0 rises, out 0 on within 3 cycles".
std::vector<Token> withCommas(std::vector<Token> tokens) {
    std::vector<Token> split;
    for (Token& token : tokens) {
        if (!token.quoted && token.text.size() > 1 && token.text.back() == ',') {
            token.text.pop_back();
            split.push_back(std::move(token));
            split.push_back({",", false});
        } else {
            split.push_back(std::move(token));
        }
    }
    return split;
}

class Parser {
public:
    Parser(std::vector<Token> tokens, std::string& error) : tokens_(std::move(tokens)), error_(error) {}

    bool property(Property& p) {
        const std::string_view kind = word();
        ++at_;
        if (kind == "never" || kind == "always" || kind == "reachable") {
            p.kind = kind == "never" ? Kind::Never : kind == "always" ? Kind::Always : Kind::Reachable;
            return condition(p.condition) && atEnd();
        }
        if (kind == "after") {
            p.kind = Kind::Response;
            if (!condition(p.trigger)) return false;
            if (word() == ",") ++at_;
            if (!condition(p.condition)) return false;
            if (word() != "within") return fail("expected 'within N cycles' after the response");
            ++at_;
            const auto n = vtest::parseInteger(word(), false);
            if (!n || *n > 10'000) return fail("expected a number of cycles (0 to 10000) after 'within'");
            p.within = static_cast<int>(*n);
            ++at_;
            if (word() != "cycles" && word() != "cycle") return fail("expected 'cycles' after the number");
            ++at_;
            return atEnd();
        }
        return fail("a property starts with never, always, reachable or after: not " + shown(at_ - 1));
    }

private:
    std::string_view word() const {
        return at_ < tokens_.size() && !tokens_[at_].quoted ? std::string_view(tokens_[at_].text) : "";
    }
    std::string shown(std::size_t i) const {
        if (i >= tokens_.size()) return "the end of the line";
        return tokens_[i].quoted ? cli::quotedUtf8(tokens_[i].text)
                                 : "'" + cli::shownUtf8(tokens_[i].text) + "'";
    }
    bool fail(std::string message) {
        error_ = std::move(message);
        return false;
    }
    bool atEnd() { return at_ == tokens_.size() || fail("unexpected " + shown(at_) + " at the end"); }

    // Terms joined by "or", atoms of a term by "and".
    bool condition(Condition& c) {
        c.terms.emplace_back();
        for (;;) {
            Atom a;
            if (!atom(a)) return false;
            c.terms.back().push_back(std::move(a));
            if (word() == "and") {
                ++at_;
            } else if (word() == "or") {
                ++at_;
                c.terms.emplace_back();
            } else {
                return true;
            }
        }
    }

    bool number(std::int64_t min, std::int64_t max, const char* what, std::int64_t& value) {
        const auto n = vtest::parseInteger(word(), min < 0);
        if (!n || *n < min || *n > max)
            return fail(std::string("expected ") + what + " (" + std::to_string(min) + " to " +
                        std::to_string(max) + "), not " + shown(at_));
        value = *n;
        ++at_;
        return true;
    }

    bool relationAndValue(Atom& a, std::int64_t min, std::int64_t max) {
        const auto relation = vtest::parseRelation(word());
        if (!relation) return fail("expected a relation (= <> < > <= >=), not " + shown(at_));
        a.relation = *relation;
        ++at_;
        std::int64_t value = 0;
        if (!number(min, max, "a value", value)) return false;
        a.value = static_cast<std::int32_t>(value);
        return true;
    }

    bool atom(Atom& a) {
        if (word() == "not") {
            a.negated = true;
            ++at_;
        }
        const std::string_view what = word();
        ++at_;
        std::int64_t n = 0;
        if (what == "in" || what == "out") {
            a.subject = what == "in" ? Subject::InputPin : Subject::OutputPin;
            if (!number(0, what == "in" ? 7 : 3, what == "in" ? "an input pin" : "an output pin", n))
                return false;
            a.index = static_cast<int>(n);
            const std::string_view state = word();
            ++at_;
            if (state == "on")
                a.pin = PinTest::On;
            else if (state == "off")
                a.pin = PinTest::Off;
            else if (state == "rises")
                a.pin = PinTest::Rises;
            else if (state == "falls")
                a.pin = PinTest::Falls;
            else
                return fail("a pin is on, off, rises or falls, not " + shown(at_ - 1));
            return true;
        }
        if (what == "port0" || what == "port1") {
            a.subject = what == "port0" ? Subject::Port0 : Subject::Port1;
            return relationAndValue(a, 0, 0xFF);
        }
        if (what == "var") {
            a.subject = Subject::Variable;
            if (at_ >= tokens_.size()) return fail("expected a variable's number or name");
            if (!tokens_[at_].quoted && vtest::parseInteger(tokens_[at_].text, false)) {
                if (!number(0, 63, "a variable number", n)) return false;
                a.index = static_cast<int>(n);
            } else {
                a.index = -1;
                a.name = tokens_[at_++].text;
            }
            return relationAndValue(a, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max());
        }
        return fail("expected in, out, port0, port1 or var, not " + shown(at_ - 1));
    }

    std::vector<Token> tokens_;
    std::size_t at_ = 0;
    std::string& error_;
};

} // namespace

std::optional<std::vector<Property>> parseProperties(std::string_view text, PropertyError& error) {
    std::vector<Property> properties;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    for (int number = 1; !text.empty(); ++number) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        std::string message;
        std::vector<Token> tokens;
        if (!cli::isUtf8(line))
            message = "not UTF-8 text (save the file as UTF-8)";
        else if (!vtest::tokenize(line, tokens, message)) {
        } else if (tokens.empty()) {
            continue;
        } else {
            Property p;
            p.line = number;
            for (const Token& token : tokens)
                p.wording +=
                    (p.wording.empty() ? "" : " ") + (token.quoted ? '"' + token.text + '"' : token.text);
            Parser parser(withCommas(std::move(tokens)), message);
            if (parser.property(p)) {
                properties.push_back(std::move(p));
                continue;
            }
        }
        error = {number, message};
        return std::nullopt;
    }
    if (properties.empty()) {
        error = {0, "the file holds no property"};
        return std::nullopt;
    }
    return properties;
}

} // namespace zelk::prove
