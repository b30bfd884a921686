#include "service/html_text.h"

namespace tarvex::search {
namespace {

enum class Apostrophe { Kept, Escaped };

// Appends one byte of text to HTML: & < > " as references, and ' too when asked.
void appendText(std::string& html, char c, Apostrophe apostrophe) {
    switch (c) {
    case '&':
        html += "&amp;";
        break;
    case '<':
        html += "&lt;";
        break;
    case '>':
        html += "&gt;";
        break;
    case '"':
        html += "&quot;";
        break;
    case '\'':
        html += apostrophe == Apostrophe::Escaped ? "&#39;" : "'";
        break;
    default:
        html += c;
    }
}

} // namespace

std::string escapeHtml(std::string_view text) {
    std::string html;
    html.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        appendText(html, c, Apostrophe::Escaped);
    }
    return html;
}

std::string markedHtml(std::string_view marked) {
    std::string html;
    html.reserve(marked.size() + marked.size() / 8);
    for (const char c : marked) {
        switch (c) {
        case '\x01':
            html += "<b>";
            break;
        case '\x02':
            html += "</b>";
            break;
        case '\n':
        case '\r':
        case '\t':
            html += ' ';
            break;
        default:
            appendText(html, c, Apostrophe::Kept);
        }
    }
    return html;
}

} // namespace tarvex::search
