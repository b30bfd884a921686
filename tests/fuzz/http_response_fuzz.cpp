// Any bytes a server may send, read as an HTTP response, delivered in pieces whose size the
// input's first byte chooses.
#include "http_response.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

class Script final : public tarvex::http::ByteSource {
public:
    Script(const std::uint8_t* data, std::size_t size, std::size_t piece)
        : m_data(data), m_size(size), m_piece(piece) {}
    tarvex::HResult receive(char* buffer, std::size_t capacity, std::size_t& count) override {
        count = std::min({capacity, m_size - m_at, m_piece});
        if (count > 0) {
            std::memcpy(buffer, m_data + m_at, count);
        }
        m_at += count;
        return tarvex::kOk;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_piece;
    std::size_t m_at = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    Script source{data + 1, size - 1, static_cast<std::size_t>(data[0] % 64) + 1};
    tarvex::http::HttpResponse response;
    (void)tarvex::http::readResponse(source, response, data[0] % 2 == 0 ? 4096 : 7);
    return 0;
}
