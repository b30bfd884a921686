#include "base/sys_string.h"
#include "soap/binary_text.h"
#include "soap/number_text.h"
#include "soap/record_access.h"
#include "soap/xsd_codec.h"
#include "soap/xsd_types.h"

#include <bit>
#include <cmath>
#include <limits>
#include <string_view>

namespace tarvex::soap {
namespace {

HResult parseBoolean(std::u16string_view text, void* destination) {
    storeAt<std::uint8_t>(destination, 0);
    if (text == u"true" || text == u"1") {
        storeAt<std::uint8_t>(destination, 1);
        return kOk;
    }
    return text == u"false" || text == u"0" ? kOk : kFail;
}

HResult parseDouble(std::u16string_view text, double& value) {
    if (text == u"INF") {
        value = std::numeric_limits<double>::infinity();
        return kOk;
    }
    if (text == u"-INF") {
        value = -std::numeric_limits<double>::infinity();
        return kOk;
    }
    if (text == u"NaN") {
        value = std::bit_cast<double>(std::uint64_t{0xFFF8000000000000U});
        return kOk;
    }
    return readDouble(text, value) == DoubleRead::Ok ? kOk : kFail;
}

// IEEE narrowing with round-to-nearest; values past the float range become infinities.
float narrowToFloat(double value) {
    constexpr double kFloatMax = std::numeric_limits<float>::max();
    // Half an ulp above the largest float: from there on the nearest float is infinity.
    constexpr double kOverflow = kFloatMax + 0x1p103;
    if (std::isfinite(value) && std::fabs(value) > kFloatMax) {
        const float limit = std::fabs(value) >= kOverflow ? std::numeric_limits<float>::infinity()
                                                          : std::numeric_limits<float>::max();
        return value < 0 ? -limit : limit;
    }
    return static_cast<float>(value);
}

// Binary values: the block must be empty; on success it holds the decoded bytes, or stays
// empty when there are none or memory cannot be had.
template <class SizeOf, class Decode>
HResult parseBinary(std::u16string_view text, void* destination, MemoryManager& memory,
                    SizeOf sizeOf, Decode decode) {
    auto block = loadAt<XsdBinary>(destination);
    if (block.data != nullptr) {
        return kInvalidArg;
    }
    block = XsdBinary{0, nullptr};
    const std::size_t bytes = sizeOf(text);
    if (bytes > 0 && bytes <= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        auto* data = static_cast<std::uint8_t*>(memory.allocate(bytes));
        if (data == nullptr) {
            return kOutOfMemory; // not an empty value: the value could not be kept
        }
        if (decode(text, data)) {
            block = XsdBinary{static_cast<std::int32_t>(bytes), data};
        } else {
            memory.release(data);
        }
    }
    storeAt(destination, block);
    return kOk;
}

HResult parseString(std::u16string_view text, void* destination) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
        return kOutOfMemory;
    }
    SysString value = sysAllocString(text);
    if (value == nullptr) {
        return kOutOfMemory;
    }
    sysFreeString(loadAt<SysString>(destination));
    storeAt(destination, value);
    return kOk;
}

} // namespace

HResult parseXsdValue(XsdType type, const char16_t* text, std::int32_t length, void* destination,
                      MemoryManager& memory) {
    if (destination == nullptr || (text == nullptr && length != 0)) {
        return kPointer;
    }
    if (length < 0) {
        return kInvalidArg;
    }
    const std::u16string_view view{text == nullptr ? u"" : text, static_cast<std::size_t>(length)};
    switch (type) {
    case XsdType::Boolean:
        return parseBoolean(view, destination);
    case XsdType::Double:
    case XsdType::Decimal: {
        double value = 0.0;
        const HResult status = parseDouble(view, value);
        storeAt(destination, value);
        return status;
    }
    case XsdType::Float: {
        double value = 0.0;
        const HResult status = parseDouble(view, value);
        storeAt(destination, narrowToFloat(value));
        return status;
    }
    case XsdType::Int:
        storeAt(destination, readInt32Wrapping(view));
        return kOk;
    case XsdType::Short:
        storeAt(destination, static_cast<std::int16_t>(readInt32Wrapping(view)));
        return kOk;
    case XsdType::Byte:
        storeAt(destination, static_cast<std::int8_t>(readInt32Wrapping(view)));
        return kOk;
    case XsdType::UnsignedInt:
        storeAt(destination, readUnsigned32(view));
        return kOk;
    case XsdType::UnsignedShort:
        storeAt(destination, static_cast<std::uint16_t>(readUnsigned32(view)));
        return kOk;
    case XsdType::UnsignedByte:
        storeAt(destination, static_cast<std::uint8_t>(readUnsigned32(view)));
        return kOk;
    case XsdType::Integer:
    case XsdType::NonPositiveInteger:
    case XsdType::NegativeInteger:
    case XsdType::Long:
        storeAt(destination, readInt64(view));
        return kOk;
    case XsdType::NonNegativeInteger:
    case XsdType::UnsignedLong:
    case XsdType::PositiveInteger:
        storeAt(destination, readUnsigned64(view));
        return kOk;
    case XsdType::Base64Binary:
        return parseBinary(view, destination, memory, base64DecodedSize,
                           [](std::u16string_view t, std::uint8_t* out) {
                               base64Decode(t, out);
                               return true;
                           });
    case XsdType::HexBinary:
        return parseBinary(
            view, destination, memory, [](std::u16string_view t) { return t.size() / 2; },
            hexDecode);
    default:
        return isStringType(type) ? parseString(view, destination) : kFail;
    }
}

} // namespace tarvex::soap
