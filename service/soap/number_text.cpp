#include "soap/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

namespace tarvex::soap {
namespace {

bool isSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Skips white space and reads the sign; returns the index of the first digit.
std::size_t skipToDigits(std::u16string_view text, bool& negative) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    return i;
}

// Magnitude of the digit run; `overflow` set once it passes `limit`.
std::uint64_t readMagnitude(std::u16string_view text, std::size_t i, std::uint64_t limit,
                            bool& overflow) {
    std::uint64_t value = 0;
    overflow = false;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - u'0');
        if (overflow || value > (limit - digit) / 10U) {
            overflow = true;
            continue;
        }
        value = value * 10U + digit;
    }
    return value;
}

// Position of the leading digit relative to the decimal point (1 for "5", 0 for "0.5", -1 for
// "0.05"), exponent included and saturated.
long decimalMagnitude(std::string_view number) {
    const std::size_t e = number.find('e');
    const std::string_view mantissa = number.substr(0, e);
    long magnitude = 0;
    const std::size_t point = mantissa.find('.');
    const std::string_view integer = mantissa.substr(0, point);
    const std::size_t firstNonZero = integer.find_first_not_of('0');
    if (firstNonZero != std::string_view::npos) {
        magnitude = static_cast<long>(integer.size() - firstNonZero);
    } else if (point != std::string_view::npos) {
        const std::string_view fraction = mantissa.substr(point + 1);
        const std::size_t zeros = fraction.find_first_not_of('0');
        magnitude = -static_cast<long>(zeros == std::string_view::npos ? fraction.size() : zeros);
    }
    if (e != std::string_view::npos) {
        std::size_t i = e + 1;
        const bool negative = i < number.size() && number[i] == '-';
        if (i < number.size() && (number[i] == '-' || number[i] == '+')) {
            ++i;
        }
        long exponent = 0;
        for (; i < number.size(); ++i) {
            exponent = std::min(exponent * 10 + (number[i] - '0'), 1000000L);
        }
        magnitude += negative ? -exponent : exponent;
    }
    return magnitude;
}

} // namespace

std::int32_t readInt32Wrapping(std::u16string_view text) {
    bool negative = false;
    std::size_t i = skipToDigits(text, negative);
    std::uint32_t value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10U + static_cast<std::uint32_t>(text[i] - u'0');
    }
    return static_cast<std::int32_t>(negative ? 0U - value : value);
}

std::uint32_t readUnsigned32(std::u16string_view text) {
    bool negative = false;
    const std::size_t i = skipToDigits(text, negative);
    bool overflow = false;
    const std::uint64_t value =
        readMagnitude(text, i, std::numeric_limits<std::uint32_t>::max(), overflow);
    if (overflow) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    const auto narrow = static_cast<std::uint32_t>(value);
    return negative ? 0U - narrow : narrow;
}

std::int64_t readInt64(std::u16string_view text) {
    bool negative = false;
    const std::size_t i = skipToDigits(text, negative);
    constexpr std::uint64_t kMaxPositive = std::numeric_limits<std::int64_t>::max();
    bool overflow = false;
    const std::uint64_t value =
        readMagnitude(text, i, kMaxPositive + (negative ? 1U : 0U), overflow);
    if (overflow) {
        return negative ? std::numeric_limits<std::int64_t>::min()
                        : std::numeric_limits<std::int64_t>::max();
    }
    return negative ? static_cast<std::int64_t>(0U - value) : static_cast<std::int64_t>(value);
}

std::uint64_t readUnsigned64(std::u16string_view text) {
    bool negative = false;
    const std::size_t i = skipToDigits(text, negative);
    bool overflow = false;
    const std::uint64_t value =
        readMagnitude(text, i, std::numeric_limits<std::uint64_t>::max(), overflow);
    if (overflow) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    return negative ? 0U - value : value;
}

DoubleRead readDouble(std::u16string_view text, double& value) {
    bool negative = false;
    std::size_t i = skipToDigits(text, negative);
    // Collect the longest prefix of the form digits [. digits] [e [sign] digits].
    std::string number;
    bool anyDigit = false;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        number.push_back(static_cast<char>(text[i]));
        anyDigit = true;
    }
    if (i < text.size() && text[i] == u'.') {
        number.push_back('.');
        for (++i; i < text.size() && isDigit(text[i]); ++i) {
            number.push_back(static_cast<char>(text[i]));
            anyDigit = true;
        }
    }
    if (!anyDigit) {
        value = 0.0;
        return DoubleRead::Ok;
    }
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) {
            exponent.push_back(static_cast<char>(text[j]));
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            for (; j < text.size() && isDigit(text[j]); ++j) {
                exponent.push_back(static_cast<char>(text[j]));
            }
            number += exponent;
        }
    }
    if (number.front() == '.') {
        number.insert(number.begin(), '0');
    }
    double magnitude = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), magnitude);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on a range error: tell the two ends apart by
        // the decimal magnitude of the number.
        const bool huge = decimalMagnitude(number) > 0;
        value = huge ? (negative ? -HUGE_VAL : HUGE_VAL) : (negative ? -0.0 : 0.0);
        return huge ? DoubleRead::Overflow : DoubleRead::Underflow;
    }
    value = negative ? -magnitude : magnitude;
    return DoubleRead::Ok;
}

std::string formatDouble(double value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    if (value == 0.0) {
        return std::signbit(value) ? "-0" : "0";
    }
    // The shortest digits that read back as the same double (never more than 17).
    std::array<char, 40> scientific{};
    const auto result = std::to_chars(scientific.data(), scientific.data() + scientific.size(),
                                      std::fabs(value), std::chars_format::scientific);
    const std::string_view text{scientific.data(),
                                static_cast<std::size_t>(result.ptr - scientific.data())};
    const std::size_t ePos = text.find('e');
    std::string digits;
    digits.push_back(text[0]);
    if (ePos > 2) {
        digits.append(text.substr(2, ePos - 2));
    }
    int exponent = 0;
    std::from_chars(text.data() + ePos + (text[ePos + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    exponent);

    std::string out;
    if (value < 0) {
        out.push_back('-');
    }
    if (exponent >= -1) {
        // Plain notation: integer part, then the fraction.
        if (exponent == -1) {
            out += "0.";
            out += digits;
        } else {
            const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
            if (integerDigits >= digits.size()) {
                out += digits;
                out.append(integerDigits - digits.size(), '0');
                out += '.';
            } else {
                out.append(digits, 0, integerDigits);
                out += '.';
                out.append(digits, integerDigits);
            }
        }
        while (out.back() == '0') {
            out.pop_back();
        }
        if (out.back() == '.') {
            out.pop_back();
        }
        return out;
    }
    // Exponent notation: one digit, ".", the rest without trailing zeros, then e-ddd.
    std::string_view fraction{digits.data() + 1, digits.size() - 1};
    while (!fraction.empty() && fraction.back() == '0') {
        fraction.remove_suffix(1);
    }
    out.push_back(digits[0]);
    out.push_back('.');
    out.append(fraction);
    std::array<char, 8> tail{};
    const int tailLength = std::snprintf(tail.data(), tail.size(), "e-%03d", -exponent);
    out.append(tail.data(), static_cast<std::size_t>(tailLength));
    return out;
}

} // namespace tarvex::soap
