#include "ui/url_opener.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvex::ui {
namespace {

class RecordingOpener final : public UrlOpener {
public:
    int OpenUrl(const std::string& url, int showCommand) override {
        opened.push_back(url);
        shows.push_back(showCommand);
        return result;
    }
    std::vector<std::string> opened;
    std::vector<int> shows;
    int result = kOpenSucceeded;
};

// Which service addresses reach the browser.

TEST(ServiceAddress, WebSchemesOpenInAnyCase) {
    for (const std::string_view url :
         {"http://a/", "HTTPS://a/", "Ftp://a/f", "https:x", "hTtP://a/?q=<b>"}) {
        EXPECT_TRUE(isBrowsableServiceAddress(url)) << url;
    }
}

TEST(ServiceAddress, OtherSchemesDoNot) {
    for (const std::string_view url :
         {"file:///etc/passwd", "javascript:alert(1)", "mailto:a@b", "C:\\x.exe", "", "http",
          " http://a/", "httpx://a/", "ftps://a/", "/local/path"}) {
        EXPECT_FALSE(isBrowsableServiceAddress(url)) << url;
    }
}

TEST(ServiceAddress, OpenPassesTheShowNormalCommand) {
    RecordingOpener opener;
    opener.result = 42;
    EXPECT_EQ(openServiceUrl(opener, "http://a/"), 42);
    EXPECT_EQ(opener.opened, std::vector<std::string>{"http://a/"});
    EXPECT_EQ(opener.shows, std::vector<int>{kShowNormal});
}

TEST(ServiceAddress, RefusedAddressIsADeniedLaunchWithoutOpening) {
    RecordingOpener opener;
    EXPECT_EQ(openServiceUrl(opener, "file:///bin/sh"), kOpenAccessDenied);
    EXPECT_TRUE(opener.opened.empty());
}

TEST(ServiceAddress, AFailedLaunchReportsItsCode) {
    RecordingOpener opener;
    opener.result = kOpenNoAssociation;
    EXPECT_EQ(openServiceUrl(opener, "ftp://a/"), kOpenNoAssociation);
}

// The message of a failed open.

struct ErrorCase {
    int code;
    const char* text;
};

// Test names carry the code, not the bytes of the case.
void PrintTo(const ErrorCase& value, std::ostream* out) {
    *out << value.code;
}

class OpenErrorMessage : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(OpenErrorMessage, HeaderAndTheCodesText) {
    EXPECT_EQ(openErrorMessage(GetParam().code),
              std::string{"Unable to open hyperlink:\n\n"} + GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCode, OpenErrorMessage,
    ::testing::Values(
        ErrorCase{0, "The operating system is out\nof memory or resources."},
        ErrorCase{2, "The specified file was not found."},
        ErrorCase{3, "The specified path was not found."},
        ErrorCase{5, "The operating system denied\naccess to the specified file."},
        ErrorCase{8, "There was not enough memory to complete the operation."},
        ErrorCase{11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
        ErrorCase{26, "A sharing violation occurred. "},
        ErrorCase{27, "The filename association is\nincomplete or invalid."},
        ErrorCase{28, "The DDE transaction could not\nbe completed because the request timed out."},
        ErrorCase{29, "The DDE transaction failed."},
        ErrorCase{30, "The DDE transaction could not\nbe completed because other DDE "
                      "transactions\nwere being processed."},
        ErrorCase{31, "There is no application associated\nwith the given filename extension."},
        ErrorCase{32, "The specified dynamic-link library was not found."},
        ErrorCase{4, "Unknown Error (4) occurred."}, ErrorCase{1, "Unknown Error (1) occurred."},
        ErrorCase{-7, "Unknown Error (-7) occurred."},
        ErrorCase{33, "Unknown Error (33) occurred."}));

} // namespace
} // namespace tarvex::ui
