#include "tarvex/json_stream.h"

#include "base/code_page.h"
#include "base/sys_string.h"

#include <array>

namespace tarvex::cli {
namespace {

constexpr std::size_t kIndent = 2;
constexpr std::size_t kPieceUnits = 8192;

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
