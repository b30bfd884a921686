#pragma once

#include "base/status.h"

#include <string_view>

namespace tarvex::soap {

// The attributes of one start-element event. Views stay valid until the event returns.
class SaxAttributes {
public:
    virtual ~SaxAttributes() = default;
    [[nodiscard]] virtual int count() const = 0;
    // Value of the attribute {uri}local; a failure status when there is none.
    [[nodiscard]] virtual HResult valueByName(std::u16string_view uri, std::u16string_view local,
                                              std::u16string_view& value) const = 0;
    // Value of the attribute with this qualified name ("href" for an unqualified one).
    [[nodiscard]] virtual HResult valueByQName(std::u16string_view qname,
                                               std::u16string_view& value) const = 0;
    [[nodiscard]] virtual HResult name(int index, std::u16string_view& uri,
                                       std::u16string_view& local,
                                       std::u16string_view& qname) const = 0;
    [[nodiscard]] virtual HResult value(int index, std::u16string_view& value) const = 0;
};

// Receives the events of a SAX reader. Names are namespace-resolved UTF-16; text arrives with
// references resolved, possibly in several events. A negative status stops the parse.
class SaxContentHandler {
public:
    virtual ~SaxContentHandler() = default;
    [[nodiscard]] virtual HResult startElement(std::u16string_view uri, std::u16string_view local,
                                               std::u16string_view qname,
                                               const SaxAttributes& attributes) = 0;
    [[nodiscard]] virtual HResult endElement(std::u16string_view uri, std::u16string_view local,
                                             std::u16string_view qname) = 0;
    [[nodiscard]] virtual HResult characters(std::u16string_view text) = 0;
    [[nodiscard]] virtual HResult ignorableWhitespace(std::u16string_view /*text*/) { return kOk; }
    [[nodiscard]] virtual HResult startPrefixMapping(std::u16string_view /*prefix*/,
                                                     std::u16string_view /*uri*/) {
        return kOk;
    }
};

} // namespace tarvex::soap
