#pragma once

#include "base/status.h"
#include "soap/byte_stream.h"
#include "soap/sax_handler.h"

#include <functional>
#include <memory>

namespace tarvex::soap {

// A SAX2 XML reader. The content handler may be changed from inside an event; every later event
// goes to the new one. parse() reads the whole stream on the caller's thread and stops at the
// first failure a handler returns, returning that status. Documents with a DOCTYPE or declaring an
// encoding other than UTF-8 or UTF-16, elements nested deeper than kMaxElementDepth, elements
// with more than kMaxAttributes attributes (namespace declarations included) and malformed XML
// fail.
class SaxReader {
public:
    static constexpr int kMaxElementDepth = 256;
    static constexpr int kMaxAttributes = 256;

    virtual ~SaxReader() = default;
    virtual void setContentHandler(SaxContentHandler* handler) = 0;
    [[nodiscard]] virtual SaxContentHandler* contentHandler() const = 0;
    [[nodiscard]] virtual HResult parse(ByteStream& stream) = 0;
};

// The platform's reader; null when it cannot be created.
[[nodiscard]] std::unique_ptr<SaxReader> createSaxReader();

using SaxReaderFactory = std::function<std::unique_ptr<SaxReader>()>;

} // namespace tarvex::soap
