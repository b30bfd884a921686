// Reads of libxml2's parser context internals, kept in one place (see libxml_context.h).
#include "soap/libxml_context.h"

#include <libxml/parserInternals.h>

#include "soap/libxml_utf8.h"

namespace tarvex::soap {

void setContextOwner(xmlParserCtxtPtr context, void* owner) {
    context->_private = owner;
}

void* contextOwner(void* context) {
    return static_cast<xmlParserCtxtPtr>(context)->_private;
}

std::optional<PendingStartTag> pendingStartTag(xmlParserCtxtPtr context) {
    const xmlParserInputPtr input = context->input;
    if (context->instate != XML_PARSER_START_TAG || input == nullptr || input->cur == nullptr ||
        input->end == nullptr || input->base == nullptr) {
        return std::nullopt;
    }
    // Decoded input, UTF-8 whatever the document's encoding; `consumed` counts the bytes
    // libxml2 has already dropped from its buffer.
    return PendingStartTag{input->consumed + static_cast<std::uint64_t>(input->cur - input->base),
                           utf8View(input->cur, input->end)};
}

const char* declaredEncoding(xmlParserCtxtPtr context) {
    return reinterpret_cast<const char*>(context->encoding);
}

bool contextFailed(xmlParserCtxtPtr context) {
    return context->errNo != 0 || context->wellFormed == 0 || context->nsWellFormed == 0 ||
           context->disableSAX != 0;
}

} // namespace tarvex::soap
