#include "service/pg_bytes.h"

#include <libpq-fe.h>

#include <stdexcept>

namespace tarvex::search {

std::string pgHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xf];
    }
    return text;
}

std::string pgBytes(std::string_view field) {
    const std::string text{field};
    std::size_t length = 0;
    unsigned char* bytes =
        PQunescapeBytea(reinterpret_cast<const unsigned char*>(text.c_str()), &length);
    if (bytes == nullptr) {
        throw std::runtime_error("a bytea field cannot be read");
    }
    std::string result(reinterpret_cast<const char*>(bytes), length);
    PQfreemem(bytes);
    return result;
}

} // namespace tarvex::search
