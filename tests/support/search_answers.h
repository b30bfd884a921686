#pragma once

#include <cstdint>
#include <string>

namespace tarvex::test {

// An HTTP 200 answer of doGoogleSearch holding results start+1 .. start+count (URL
// "http://r/N", title "TN"), with startIndex and endIndex to match.
[[nodiscard]] std::string searchAnswer(int start, int count, std::int32_t estimatedTotal = 99);

} // namespace tarvex::test
