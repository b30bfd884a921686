#pragma once

#include <string>
#include <string_view>

namespace tarvex::ui {

// The show command every caller passes: a window shown normally.
inline constexpr int kShowNormal = 5;

// Shell-style results of opening an address: above 32 is success.
inline constexpr int kOpenSucceeded = 33;
inline constexpr int kOpenFileNotFound = 2;
inline constexpr int kOpenAccessDenied = 5;
inline constexpr int kOpenNoAssociation = 31;

// Hands an address to the user's web browser.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // Above 32 on success, else a shell-style error code.
    virtual int OpenUrl(const std::string& url, int showCommand) = 0;
};

// Addresses that come from the service open only when they are http, https or ftp (scheme in
// any letter case).
[[nodiscard]] bool isBrowsableServiceAddress(std::string_view url);
// OpenUrl for an address from the service: kOpenAccessDenied, without a launch, for any other
// scheme.
int openServiceUrl(UrlOpener& opener, const std::string& url);

// The message of a failed open: "Unable to open hyperlink:\n\n" and the text of the code.
[[nodiscard]] std::string openErrorMessage(int code);

} // namespace tarvex::ui
