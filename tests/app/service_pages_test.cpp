#include "app/service_pages.h"

#include "shell/brand_texts.h"
#include "shell/setting_names.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace tarvex::app {
namespace {

constexpr const char* kVariable = "TARVEX_ENDPOINT";

// Sets or clears TARVEX_ENDPOINT for one test and puts back what the process had.
class EndpointVariable {
public:
    explicit EndpointVariable(const char* value) {
        if (const char* old = std::getenv(kVariable); old != nullptr) {
            m_saved = old;
        }
        if (value != nullptr) {
            ::setenv(kVariable, value, 1);
        } else {
            ::unsetenv(kVariable);
        }
    }
    ~EndpointVariable() {
        if (m_saved) {
            ::setenv(kVariable, m_saved->c_str(), 1);
        } else {
            ::unsetenv(kVariable);
        }
    }
    EndpointVariable(const EndpointVariable&) = delete;
    EndpointVariable& operator=(const EndpointVariable&) = delete;

private:
    std::optional<std::string> m_saved;
};

void storeEndpoint(shell::SettingsStore& settings, std::string_view value) {
    static_cast<void>(
        settings.putString(shell::kServiceEndpoint.section, shell::kServiceEndpoint.entry, value));
}

// Which endpoint a run uses.

TEST(ChooseEndpoint, OverrideComesFirst) {
    const EndpointVariable variable{"http://env/"};
    shell::MemorySettingsStore settings;
    storeEndpoint(settings, "http://setting/");
    EXPECT_EQ(chooseEndpoint(settings, "http://override/"), "http://override/");
}

TEST(ChooseEndpoint, EnvironmentBeforeTheSetting) {
    const EndpointVariable variable{"http://env/"};
    shell::MemorySettingsStore settings;
    storeEndpoint(settings, "http://setting/");
    EXPECT_EQ(chooseEndpoint(settings), "http://env/");
    EXPECT_EQ(chooseEndpoint(settings, std::string{}), "http://env/");
}

TEST(ChooseEndpoint, SettingWhenTheEnvironmentIsEmptyOrUnset) {
    shell::MemorySettingsStore settings;
    storeEndpoint(settings, "http://setting/");
    {
        const EndpointVariable variable{""};
        EXPECT_EQ(chooseEndpoint(settings), "http://setting/");
    }
    const EndpointVariable variable{nullptr};
    EXPECT_EQ(chooseEndpoint(settings), "http://setting/");
}

TEST(ChooseEndpoint, BuiltInWhenNothingNamesOne) {
    const EndpointVariable variable{nullptr};
    shell::MemorySettingsStore settings;
    EXPECT_EQ(chooseEndpoint(settings), kBuiltInEndpoint);
    storeEndpoint(settings, "");
    EXPECT_EQ(chooseEndpoint(settings, std::string{}), kBuiltInEndpoint);
}

// Which certificate file is trusted beside the system's store.

TEST(ChooseTrustFile, TheOptionBeforeTheSettingAndNoneByDefault) {
    shell::MemorySettingsStore settings;
    EXPECT_EQ(chooseTrustFile(settings), "");
    settings.putString(shell::kTrustFile.section, shell::kTrustFile.entry, "/etc/own-ca.pem");
    EXPECT_EQ(chooseTrustFile(settings), "/etc/own-ca.pem");
    EXPECT_EQ(chooseTrustFile(settings, std::string{}), "/etc/own-ca.pem");
    EXPECT_EQ(chooseTrustFile(settings, std::string{"ca.pem"}), "ca.pem");
}

// The origin of the web pages.

TEST(EndpointOrigin, SchemeAndHost) {
    EXPECT_EQ(endpointOrigin("http://api.example.org/search/beta2"), "http://api.example.org");
    EXPECT_EQ(endpointOrigin(kBuiltInEndpoint), "http://api.google.com");
}

TEST(EndpointOrigin, PortOnlyWhenNamed) {
    EXPECT_EQ(endpointOrigin("http://127.0.0.1:8080/search/beta2?x#y"), "http://127.0.0.1:8080");
    EXPECT_EQ(endpointOrigin("HTTPS://user:pw@host:443"), "https://host:443");
}

// The pages of an https service are reached over https too.
TEST(EndpointOrigin, AnHttpsEndpointKeepsItsScheme) {
    EXPECT_EQ(endpointOrigin("https://127.0.0.1:8443/search/beta2"), "https://127.0.0.1:8443");
    EXPECT_EQ(endpointOrigin("https://search.example.org/search/beta2"),
              "https://search.example.org");
    EXPECT_EQ(developerPageAddress(endpointOrigin("https://h/search/beta2")), "https://h/apis");
    EXPECT_EQ(
        searchPageAddress(endpointOrigin("https://h:1/x"), "w").rfind("https://h:1/search?q=w", 0),
        0U);
}

TEST(EndpointOrigin, UnparsableFallsBackToTheBuiltIn) {
    EXPECT_EQ(endpointOrigin("not a url"), "http://api.google.com");
    EXPECT_EQ(endpointOrigin(""), "http://api.google.com");
    EXPECT_EQ(endpointOrigin("http://host:99999/"), "http://api.google.com");
}

// The web search page.

constexpr std::string_view kTail = "&meta=lr%3D%26hl%3Den&btnG=Google+Search";

TEST(SearchPageAddress, BlankStaysAsTyped) {
    EXPECT_EQ(searchPageAddress("http://h", "two words"),
              "http://h/search?q=two words" + std::string{kTail});
}

TEST(SearchPageAddress, CharactersThatChangeTheAddressAreEncoded) {
    EXPECT_EQ(searchPageAddress("http://h", "a&b#c+d%"),
              "http://h/search?q=a%26b%23c%2Bd%25" + std::string{kTail});
}

TEST(SearchPageAddress, NonAsciiIsEncodedAsUtf8WithUppercaseHex) {
    EXPECT_EQ(searchPageAddress("http://h", "caf\xC3\xA9"),
              "http://h/search?q=caf%C3%A9" + std::string{kTail});
    EXPECT_EQ(searchPageAddress("http://h", "a\tb\x7F"),
              "http://h/search?q=a%09b%7F" + std::string{kTail});
}

TEST(SearchPageAddress, OtherPrintableCharactersStay) {
    EXPECT_EQ(searchPageAddress("http://h", "\"q\"/?=<>~"),
              "http://h/search?q=\"q\"/?=<>~" + std::string{kTail});
}

TEST(DeveloperPageAddress, AppendsApis) {
    EXPECT_EQ(developerPageAddress("http://h:81"), "http://h:81/apis");
}

// The maker's pages, served by the service at the endpoint's origin.

TEST(AddressOnOrigin, TheWindowPagesMoveWithPathAndQuery) {
    EXPECT_EQ(addressOnOrigin("http://127.0.0.1:8080", shell::helpAddress()),
              "http://127.0.0.1:8080/tarvex/go.cgi?from=tarvex&page=help&version=100100602");
    EXPECT_EQ(addressOnOrigin("https://h", shell::moreToolsAddress()),
              "https://h/tarvex/go.cgi?from=tarvex&page=more&version=100100602");
}

TEST(AddressOnOrigin, SchemeUserHostAndPortAreReplaced) {
    EXPECT_EQ(
        addressOnOrigin("http://127.0.0.1:8080", "HTTPS://u:p@maker.example:81/a/b?x=1&y#top"),
        "http://127.0.0.1:8080/a/b?x=1&y");
    EXPECT_EQ(addressOnOrigin("http://o", "http://maker.example?x=1"), "http://o/?x=1");
    EXPECT_EQ(addressOnOrigin("http://o", "ftp://maker.example"), "http://o/");
}

TEST(AddressOnOrigin, AnAddressThatDoesNotParseStaysAsItIs) {
    for (const std::string_view address :
         {"", "not a url", "/tarvex/go.cgi?page=help", "http://maker.example:99999/x"}) {
        EXPECT_EQ(addressOnOrigin("http://o", address), address);
    }
}

} // namespace
} // namespace tarvex::app
