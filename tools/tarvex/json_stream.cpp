#include "tarvex/json_stream.h"

#include "base/code_page.h"
#include "base/sys_string.h"

#include <array>

namespace tarvex::cli {
namespace {

constexpr std::size_t kIndent = 2;
constexpr std::size_t kPieceUnits = 8192;
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// The UTF-8 sequence at the start of `bytes` (not empty): one whole character, or the part that
// cannot become one, as nlohmann's decoder rejects it (no overlong forms, no surrogates, nothing
// past U+10FFFF).
struct Sequence {
    std::size_t length;
    bool wellFormed;
};

Sequence firstSequence(std::string_view bytes) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80) {
        return {1, true};
    }
    std::size_t following = 0;
    unsigned char low = 0x80; // the range of the second byte, then of each further one
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        following = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        following = 2;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        following = 3;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return {1, false};
    }
    for (std::size_t i = 1; i <= following; ++i) {
        if (i == bytes.size()) {
            return {i, false};
        }
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < low || byte > high) {
            return {i, false};
        }
        low = 0x80;
        high = 0xBF;
    }
    return {following + 1, true};
}

} // namespace

void JsonStream::newLine(std::size_t depth) {
    m_out.put('\n');
    for (std::size_t i = 0; i < depth * kIndent; ++i) {
        m_out.put(' ');
    }
}

void JsonStream::startValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_counts.empty()) {
        if (m_counts.back()++ > 0) {
            m_out.put(',');
        }
        newLine(m_counts.size());
    }
}

void JsonStream::open(char bracket) {
    startValue();
    m_out.put(bracket);
    m_counts.push_back(0);
}

void JsonStream::close(char bracket) {
    const std::size_t members = m_counts.back();
    m_counts.pop_back();
    if (members > 0) {
        newLine(m_counts.size());
    }
    m_out.put(bracket);
    if (m_counts.empty()) {
        m_out.put('\n');
    }
}

void JsonStream::key(std::string_view name) {
    startValue();
    m_out.put('"');
    escaped(name);
    m_out << "\": ";
    m_afterKey = true;
}

void JsonStream::text(const char16_t* text) {
    if (text == nullptr) {
        scalar(nullptr);
        return;
    }
    startValue();
    m_out.put('"');
    std::u16string_view rest = sysStringView(text);
    while (!rest.empty()) {
        std::size_t units = std::min(rest.size(), kPieceUnits);
        // A surrogate pair stays in one piece.
        if (units < rest.size() && rest[units - 1] >= 0xD800 && rest[units - 1] <= 0xDBFF) {
            --units;
        }
        escaped(utf16ToCodePage(rest.substr(0, units)));
        rest.remove_prefix(units);
    }
    m_out.put('"');
}

void JsonStream::utf8Text(std::string_view text) {
    startValue();
    m_out.put('"');
    std::size_t run = 0; // start of the well-formed run not yet written
    std::size_t at = 0;
    while (at < text.size()) {
        const Sequence sequence = firstSequence(text.substr(at));
        if (!sequence.wellFormed) {
            escaped(text.substr(run, at - run));
            m_out << kReplacementCharacter;
            run = at + sequence.length;
        }
        at += sequence.length;
    }
    escaped(text.substr(run));
    m_out.put('"');
}

void JsonStream::scalar(const nlohmann::ordered_json& value) {
    startValue();
    m_out << value.dump();
}

void JsonStream::escaped(std::string_view utf8) {
    static constexpr std::array<char, 16> kHex = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                  '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    std::size_t plain = 0; // start of the run not yet written
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\') {
            continue;
        }
        m_out.write(utf8.data() + plain, static_cast<std::streamsize>(i - plain));
        plain = i + 1;
        switch (byte) {
        case '"':
            m_out << "\\\"";
            break;
        case '\\':
            m_out << "\\\\";
            break;
        case '\b':
            m_out << "\\b";
            break;
        case '\f':
            m_out << "\\f";
            break;
        case '\n':
            m_out << "\\n";
            break;
        case '\r':
            m_out << "\\r";
            break;
        case '\t':
            m_out << "\\t";
            break;
        default:
            m_out << "\\u00" << kHex[byte >> 4] << kHex[byte & 0xF];
            break;
        }
    }
    m_out.write(utf8.data() + plain, static_cast<std::streamsize>(utf8.size() - plain));
}

} // namespace tarvex::cli
