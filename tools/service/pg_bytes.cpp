#include "service/pg_bytes.h"

#include "soap/binary_text.h"

#include <libpq-fe.h>

#include <cstdint>

#include <stdexcept>

namespace tarvex::search {

std::string pgHex(std::string_view bytes) {
    std::string text(bytes.size() * 2, '\0');
    soap::hexEncode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), text.data());
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
