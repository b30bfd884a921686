#include "soap/xsd_types.h"

#include "base/sys_string.h"

#include <array>

namespace tarvex::soap {
namespace {

#define TARVEX_XSD_NAME(text)                                                                      \
    XsdTypeName {                                                                                  \
        u##text, text, sizeof(text) - 1                                                            \
    }

constexpr std::array<XsdTypeName, 44> kTypeNames{{
    TARVEX_XSD_NAME("string"),
    TARVEX_XSD_NAME("boolean"),
    TARVEX_XSD_NAME("float"),
    TARVEX_XSD_NAME("double"),
    TARVEX_XSD_NAME("decimal"),
    TARVEX_XSD_NAME("duration"),
    TARVEX_XSD_NAME("hexBinary"),
    TARVEX_XSD_NAME("base64Binary"),
    TARVEX_XSD_NAME("anyURI"),
    TARVEX_XSD_NAME("ID"),
    TARVEX_XSD_NAME("IDREF"),
    TARVEX_XSD_NAME("ENTITY"),
    TARVEX_XSD_NAME("NOTATION"),
    TARVEX_XSD_NAME("QName"),
    TARVEX_XSD_NAME("normalizedString"),
    TARVEX_XSD_NAME("token"),
    TARVEX_XSD_NAME("language"),
    TARVEX_XSD_NAME("IDREFS"),
    TARVEX_XSD_NAME("ENTITIES"),
    TARVEX_XSD_NAME("NMTOKEN"),
    TARVEX_XSD_NAME("NMTOKENS"),
    TARVEX_XSD_NAME("Name"),
    TARVEX_XSD_NAME("NCName"),
    TARVEX_XSD_NAME("integer"),
    TARVEX_XSD_NAME("nonPositiveInteger"),
    TARVEX_XSD_NAME("negativeInteger"),
    TARVEX_XSD_NAME("long"),
    TARVEX_XSD_NAME("int"),
    TARVEX_XSD_NAME("short"),
    TARVEX_XSD_NAME("byte"),
    TARVEX_XSD_NAME("nonNegativeInteger"),
    TARVEX_XSD_NAME("unsignedLong"),
    TARVEX_XSD_NAME("unsignedInt"),
    TARVEX_XSD_NAME("unsignedShort"),
    TARVEX_XSD_NAME("unsignedByte"),
    TARVEX_XSD_NAME("positiveInteger"),
    TARVEX_XSD_NAME("dateTime"),
    TARVEX_XSD_NAME("time"),
    TARVEX_XSD_NAME("date"),
    TARVEX_XSD_NAME("gMonth"),
    TARVEX_XSD_NAME("gYearMonth"),
    TARVEX_XSD_NAME("gYear"),
    TARVEX_XSD_NAME("gMonthDay"),
    TARVEX_XSD_NAME("gDay"),
}};

#undef TARVEX_XSD_NAME

} // namespace

const XsdTypeName* xsdTypeName(XsdType type) {
    const auto code = static_cast<std::int32_t>(type);
    if (code < 0 || code >= static_cast<std::int32_t>(kTypeNames.size())) {
        return nullptr;
    }
    return &kTypeNames[static_cast<std::size_t>(code)];
}

std::size_t xsdMemorySize(XsdType type) {
    switch (type) {
    case XsdType::Boolean:
    case XsdType::Byte:
    case XsdType::UnsignedByte:
        return 1;
    case XsdType::Short:
    case XsdType::UnsignedShort:
        return 2;
    case XsdType::Double:
    case XsdType::Decimal:
    case XsdType::Integer:
    case XsdType::NonPositiveInteger:
    case XsdType::NegativeInteger:
    case XsdType::Long:
    case XsdType::NonNegativeInteger:
    case XsdType::UnsignedLong:
    case XsdType::PositiveInteger:
        return 8;
    case XsdType::HexBinary:
    case XsdType::Base64Binary:
        return sizeof(XsdBinary);
    case XsdType::Float:
    case XsdType::Int:
    case XsdType::UnsignedInt:
        return 4;
    case XsdType::User:
    case XsdType::Error:
    case XsdType::UserBase:
        return 0;
    default:
        return isStringType(type) ? sizeof(SysString) : 0;
    }
}

} // namespace tarvex::soap
