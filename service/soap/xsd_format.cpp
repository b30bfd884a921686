#include "base/sys_string.h"
#include "soap/binary_text.h"
#include "soap/number_text.h"
#include "soap/record_access.h"
#include "soap/text_escaper.h"
#include "soap/xsd_codec.h"
#include "soap/xsd_types.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>

namespace tarvex::soap {
namespace {

template <class Integer>
HResult writeInteger(OutputSink& sink, Integer value) {
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return writeText(sink, std::string_view{digits.data(),
                                            static_cast<std::size_t>(result.ptr - digits.data())});
}

// Encodes a binary block into a scratch buffer from the memory manager; general failure when
// the buffer cannot be had.
template <class Encode>
HResult writeBinary(const void* value, OutputSink& sink, MemoryManager& memory,
                    std::size_t scratchSize, Encode encode) {
    const auto block = loadAt<XsdBinary>(value);
    if (block.data == nullptr || block.size <= 0) {
        return kOk;
    }
    auto* scratch = static_cast<char*>(memory.allocate(scratchSize));
    if (scratch == nullptr) {
        return kFail;
    }
    const std::size_t length = encode(block.data, static_cast<std::size_t>(block.size), scratch);
    const HResult status = writeText(sink, std::string_view{scratch, length});
    memory.release(scratch);
    return status;
}

} // namespace

HResult formatXsdValue(XsdType type, const void* value, OutputSink& sink, MemoryManager& memory) {
    if (value == nullptr) {
        return kPointer;
    }
    switch (type) {
    case XsdType::Boolean:
        return writeText(sink, loadAt<std::uint8_t>(value) == 1 ? "true" : "false");
    case XsdType::Double:
    case XsdType::Decimal:
        return writeText(sink, formatDouble(loadAt<double>(value)));
    case XsdType::Float:
        return writeText(sink, formatDouble(static_cast<double>(loadAt<float>(value))));
    case XsdType::Int:
        return writeInteger(sink, loadAt<std::int32_t>(value));
    case XsdType::Short:
        return writeInteger(sink, loadAt<std::int16_t>(value));
    case XsdType::Byte:
        return writeInteger(sink, loadAt<std::int8_t>(value));
    case XsdType::UnsignedInt:
        return writeInteger(sink, loadAt<std::uint32_t>(value));
    case XsdType::UnsignedShort:
        return writeInteger(sink, loadAt<std::uint16_t>(value));
    case XsdType::UnsignedByte:
        return writeInteger(sink, loadAt<std::uint8_t>(value));
    case XsdType::Integer:
    case XsdType::NonPositiveInteger:
    case XsdType::NegativeInteger:
    case XsdType::Long:
        return writeInteger(sink, loadAt<std::int64_t>(value));
    case XsdType::NonNegativeInteger:
    case XsdType::UnsignedLong:
    case XsdType::PositiveInteger:
        return writeInteger(sink, loadAt<std::uint64_t>(value));
    case XsdType::Base64Binary: {
        const auto size = static_cast<std::size_t>(std::max(loadAt<XsdBinary>(value).size, 0));
        return writeBinary(value, sink, memory, base64ScratchSize(size), base64Encode);
    }
    case XsdType::HexBinary: {
        const auto size = static_cast<std::size_t>(std::max(loadAt<XsdBinary>(value).size, 0));
        return writeBinary(value, sink, memory, 2 * size + 1,
                           [](const std::uint8_t* data, std::size_t bytes, char* out) {
                               hexEncode(data, bytes, out);
                               return 2 * bytes;
                           });
    }
    default:
        if (isStringType(type)) {
            return writeEscaped(sink, sysStringView(loadAt<SysString>(value)), EscapeMode::Content);
        }
        return kFail;
    }
}

} // namespace tarvex::soap
