#pragma once

#include <string>
#include <string_view>

namespace tarvex::search {

// Text for HTML content and quoted attribute values: & < > " ' become references.
[[nodiscard]] std::string escapeHtml(std::string_view text);

// Escapes text for HTML and turns the marks 0x01 and 0x02 into <b> and </b>; line breaks
// become blanks. An apostrophe stays as it is: marked texts are only ever content, and the
// titles and snippets of the SOAP answers have always carried it that way.
[[nodiscard]] std::string markedHtml(std::string_view marked);

} // namespace tarvex::search
