#include "ui/url_opener.h"

#include <array>

namespace tarvex::ui {
namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

struct OpenErrorText {
    int code;
    std::string_view text;
};

// The texts of the shell's open errors; the blank after the sharing violation is part of it.
constexpr std::array kOpenErrorTexts{
    OpenErrorText{0, "The operating system is out\nof memory or resources."},
    OpenErrorText{2, "The specified file was not found."},
    OpenErrorText{3, "The specified path was not found."},
    OpenErrorText{5, "The operating system denied\naccess to the specified file."},
    OpenErrorText{8, "There was not enough memory to complete the operation."},
    OpenErrorText{11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
    OpenErrorText{26, "A sharing violation occurred. "},
    OpenErrorText{27, "The filename association is\nincomplete or invalid."},
    OpenErrorText{28, "The DDE transaction could not\nbe completed because the request timed out."},
    OpenErrorText{29, "The DDE transaction failed."},
    OpenErrorText{30, "The DDE transaction could not\nbe completed because other DDE "
                      "transactions\nwere being processed."},
    OpenErrorText{31, "There is no application associated\nwith the given filename extension."},
    OpenErrorText{32, "The specified dynamic-link library was not found."},
};

} // namespace

bool isBrowsableServiceAddress(std::string_view url) {
    // A service answer could name a local file or a program's own scheme; only web pages open.
    return startsWithNoCase(url, "http:") || startsWithNoCase(url, "https:") ||
           startsWithNoCase(url, "ftp:");
}

int openServiceUrl(UrlOpener& opener, const std::string& url) {
    if (!isBrowsableServiceAddress(url)) {
        return kOpenAccessDenied;
    }
    return opener.OpenUrl(url, kShowNormal);
}

std::string openErrorMessage(int code) {
    std::string message = "Unable to open hyperlink:\n\n";
    for (const OpenErrorText& entry : kOpenErrorTexts) {
        if (entry.code == code) {
            return message.append(entry.text);
        }
    }
    return message.append("Unknown Error (").append(std::to_string(code)).append(") occurred.");
}

} // namespace tarvex::ui
