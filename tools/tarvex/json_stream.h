#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <ostream>
#include <string_view>
#include <vector>

namespace tarvex::cli {

// Writes JSON laid out as nlohmann's dump(2) lays it out, straight to a stream, so that a long
// text is never held again as JSON. Members and items follow key() or come one after another
// in an array; the caller keeps objects and arrays balanced.
class JsonStream {
public:
    explicit JsonStream(std::ostream& out) : m_out(out) {}

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    void key(std::string_view name);
    // A UTF-16 text, converted and escaped piece by piece; null when `text` is null.
    void text(const char16_t* text);
    // A UTF-8 text as dump() with error_handler_t::replace writes it: each ill-formed part (the
    // longest start of a character that cannot be completed, else one byte) becomes U+FFFD.
    void utf8Text(std::string_view text);
    // Numbers, booleans and null, as nlohmann writes them.
    void scalar(const nlohmann::ordered_json& value);
    // A member of an object: its key, then its text or scalar.
    void member(std::string_view name, const char16_t* value) {
        key(name);
        text(value);
    }
    void member(std::string_view name, const nlohmann::ordered_json& value) {
        key(name);
        scalar(value);
    }

private:
    void open(char bracket);
    void close(char bracket);
    // Before a value: the separator and indentation an array item needs.
    void startValue();
    void newLine(std::size_t depth);
    void escaped(std::string_view utf8);

    std::ostream& m_out;
    std::vector<std::size_t> m_counts; // members written so far, per open object or array
    bool m_afterKey = false;
};

} // namespace tarvex::cli
