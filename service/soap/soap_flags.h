#pragma once

#include <cstdint>

namespace tarvex::soap {

// Entry flags and operation call flags share one 32-bit bit space.
struct SoapFlag {
    static constexpr std::uint32_t In = 0x1;
    static constexpr std::uint32_t Out = 0x2;
    static constexpr std::uint32_t RetVal = 0x4;
    static constexpr std::uint32_t DynamicArray = 0x8;
    static constexpr std::uint32_t FixedArray = 0x10;
    static constexpr std::uint32_t MustUnderstand = 0x20;
    // Bits of parse states only.
    static constexpr std::uint32_t UnknownSize = 0x40;
    static constexpr std::uint32_t ArrayItem = 0x80;
    static constexpr std::uint32_t Member = 0x100;
    static constexpr std::uint32_t SizeOnly = 0x200;
    static constexpr std::uint32_t Nullable = 0x400;
    static constexpr std::uint32_t Rpc = 0x1000;
    static constexpr std::uint32_t Encoded = 0x4000;
    static constexpr std::uint32_t ParamsAsDocument = 0x8000;
    static constexpr std::uint32_t NoWrapper = 0x10000;
    static constexpr std::uint32_t Chain = 0x20000;
    static constexpr std::uint32_t kIgnoreText = 0x40000;

    static constexpr std::uint32_t kAnyArray = DynamicArray | FixedArray;
};

[[nodiscard]] constexpr bool isRpcEncoded(std::uint32_t callFlags) {
    return (callFlags & (SoapFlag::Rpc | SoapFlag::Encoded)) == (SoapFlag::Rpc | SoapFlag::Encoded);
}

enum class SoapMapKind : std::int32_t {
    Enum = 1,
    Function = 2,
    Struct = 3,
    Header = 5,
};

// Codes 0..43 follow the table of XSD built-in type names (xsd_types.h).
enum class XsdType : std::int32_t {
    String = 0,
    Boolean = 1,
    Float = 2,
    Double = 3,
    Decimal = 4,
    Duration = 5,
    HexBinary = 6,
    Base64Binary = 7,
    AnyUri = 8,
    Id = 9,
    IdRef = 10,
    Entity = 11,
    Notation = 12,
    QName = 13,
    NormalizedString = 14,
    Token = 15,
    Language = 16,
    IdRefs = 17,
    Entities = 18,
    NmToken = 19,
    NmTokens = 20,
    Name = 21,
    NcName = 22,
    Integer = 23,
    NonPositiveInteger = 24,
    NegativeInteger = 25,
    Long = 26,
    Int = 27,
    Short = 28,
    Byte = 29,
    NonNegativeInteger = 30,
    UnsignedLong = 31,
    UnsignedInt = 32,
    UnsignedShort = 33,
    UnsignedByte = 34,
    PositiveInteger = 35,
    DateTime = 36,
    Time = 37,
    Date = 38,
    GMonth = 39,
    GYearMonth = 40,
    GYear = 41,
    GMonthDay = 42,
    GDay = 43,
    User = -1,
    Error = -2,
    UserBase = 4096,
};

} // namespace tarvex::soap
