#include "base/same_word.h"

#include "base/code_page.h"

#include <cwctype>

namespace tarvex {

bool sameWord(std::string_view a, std::string_view b) {
    const auto ascii = [](std::string_view text) {
        for (const char c : text) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                return false;
            }
        }
        return true;
    };
    if (ascii(a) && ascii(b)) {
        if (a.size() != b.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (std::towupper(static_cast<unsigned char>(a[i])) !=
                std::towupper(static_cast<unsigned char>(b[i]))) {
                return false;
            }
        }
        return true;
    }
    const std::u16string x = codePageToUtf16(a);
    const std::u16string y = codePageToUtf16(b);
    if (x.size() != y.size()) {
        return false;
    }
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (x[i] != y[i] && std::towupper(x[i]) != std::towupper(y[i])) {
            return false;
        }
    }
    return true;
}

} // namespace tarvex
