#pragma once

#include "service/upstream_page.h"
#include "soap/byte_stream.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarvex::search {

// Reads an engine's OpenSearch answer: RSS 2.0 (rss/channel/item with title, link, description)
// or Atom (feed/entry with title, the href of the first link whose rel is "alternate" or absent,
// summary or else content). Of the OpenSearch response elements (1.1 and the older 1.0
// namespace) on the channel or feed only the first totalResults is read, and only when it is a
// decimal number that fits; startIndex and itemsPerPage are ignored, as engines get them wrong.
//
// Text stays the text it is: escaped markup is not stripped or interpreted, and the text of
// elements nested in a field is part of the field. Each field loses its surrounding whitespace
// and is cut at kMaxUpstreamTextBytes on a UTF-8 character boundary. Items without a link are
// kept. The answer is refused (nullopt, `error` says why) when it is larger than
// kMaxUpstreamBytes, not well-formed, has a DOCTYPE or nests deeper than the XML reader allows,
// is neither RSS nor Atom, or holds more than kMaxUpstreamItems items.
[[nodiscard]] std::optional<UpstreamPage> readOpenSearchAnswer(std::string_view body,
                                                               std::string& error);

// The same for a body read from a stream, refused as soon as more than kMaxUpstreamBytes of it
// have come.
[[nodiscard]] std::optional<UpstreamPage> readOpenSearchAnswer(soap::ByteStream& body,
                                                               std::string& error);

// The OpenSearch 1.1 namespace the reader takes totalResults from, as text; engines (and the
// tests' scripted one) write their response elements in it.
[[nodiscard]] std::string openSearchNamespace();

} // namespace tarvex::search
