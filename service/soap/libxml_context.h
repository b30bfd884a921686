#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include <libxml/parser.h>

namespace tarvex::soap {

// Every read of libxml2's parser context that its functions do not offer goes through here. The
// fields are public in <libxml/parser.h> but are not a promised interface, so a new libxml2 is
// checked against what is relied on below; checked on 2.9.14 (Debian 12's libxml2-dev):
// - `_private` is the user's and libxml2 never touches it;
// - while the push parser waits for the '>' of a start tag, `instate` is XML_PARSER_START_TAG,
//   `input->cur` is where the tag starts and `input->end` ends what has arrived; the input is the
//   decoded UTF-8 whatever the document's encoding;
// - `input->consumed` counts the bytes dropped from the buffer before `input->base`;
// - when startDocument is called, `encoding` holds the name the XML declaration gave, as written,
//   and is null where it gave none (a byte order mark alone sets nothing);
// - a parse that met an error or was stopped leaves `errNo` non-zero, `wellFormed` or
//   `nsWellFormed` zero, or `disableSAX` non-zero, even where xmlParseChunk returned 0.

// Stores `owner` in the context, for the SAX callbacks to find.
void setContextOwner(xmlParserCtxtPtr context, void* owner);
// The owner stored in the context that a SAX callback receives.
[[nodiscard]] void* contextOwner(void* context);

// The start tag libxml2 waits to complete: its document offset and the bytes of it that have
// arrived.
struct PendingStartTag {
    std::uint64_t start = 0;
    std::string_view bytes;
};
// The start tag being waited for; nothing when the parser is not inside one.
[[nodiscard]] std::optional<PendingStartTag> pendingStartTag(xmlParserCtxtPtr context);

// The encoding name the document's XML declaration gave; null where it gave none. Valid from the
// startDocument callback on.
[[nodiscard]] const char* declaredEncoding(xmlParserCtxtPtr context);

// True when the context records a failure or a stop.
[[nodiscard]] bool contextFailed(xmlParserCtxtPtr context);

} // namespace tarvex::soap
