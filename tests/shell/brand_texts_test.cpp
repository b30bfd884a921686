#include "shell/blowfish_cipher.h"
#include "shell/brand_texts.h"
#include "stored_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvex::shell {
namespace {

TEST(BrandTextsTest, TheProgramsOwnBlock) {
    EXPECT_EQ(ProductName(), "Tarvex");
    EXPECT_EQ(CoBrandName(), "Tarvex");
    EXPECT_FALSE(IsCoBranded()) << "the maker's own build: its name holds the source word";
    EXPECT_EQ(LinkBase(), "http://www.example.com/tarvex/go.cgi?from=tarvex&page=");
    EXPECT_EQ(helpAddress(),
              "http://www.example.com/tarvex/go.cgi?from=tarvex&page=help&version=100100602");
    EXPECT_EQ(moreToolsAddress(),
              "http://www.example.com/tarvex/go.cgi?from=tarvex&page=more&version=100100602");
    std::string url = "x";
    std::string caption = "y";
    EXPECT_FALSE(CoBrandLink(url, caption));
    EXPECT_TRUE(url.empty() && caption.empty());
    EXPECT_EQ(aboutText(), "Desktop client for a SOAP web-search service, with a result cache.");
    const BrandBlock& block = programBrandBlock();
    const auto decode = [](std::span<const std::uint8_t> text) {
        return DecodeStoredText(text.data(), text.size());
    };
    EXPECT_EQ(decode(block.coBrandLink), "http://example.com/tools(Tools");
    EXPECT_EQ(decode(block.defaultSourceWord), "tarvex");
    EXPECT_EQ(decode(block.builtInCoBrandName), "Tarvex Desktop");
    EXPECT_EQ(block.productName.size(), 24U);
    EXPECT_EQ(block.aboutText.size(), 72U);
}

// A partner's block built from plain texts.
class PartnerBlock {
public:
    PartnerBlock(const std::string& coBrandName, const std::string& link, std::uint8_t flag = 1)
        : m_product(test::storedText("Tarvex", 24)), m_name(test::storedText(coBrandName, 56)),
          m_link(test::storedText(link, 32)), m_about(test::storedText("", 72)),
          m_base1(test::storedText("http://p.example.net/", 24)),
          m_base2(test::storedText("x?", 24)), m_base3(test::storedText("a=1", 8)),
          m_source(test::storedText("tarvex", 8)), m_builtIn(test::storedText("Built In", 24)) {
        block =
            BrandBlock{"100",  "10.06.02", flag,    'B',     56,      'B',     32,       m_product,
                       m_name, m_link,     m_about, m_base1, m_base2, m_base3, m_source, m_builtIn};
    }
    BrandBlock block{};

private:
    std::vector<std::uint8_t> m_product, m_name, m_link, m_about, m_base1, m_base2, m_base3,
        m_source, m_builtIn;
};

TEST(BrandTextsTest, CoBrandedBuilds) {
    const PartnerBlock partner{"Acme Search", "http://acme.example/x(Acme Tools"};
    EXPECT_TRUE(IsCoBranded(partner.block));
    std::string url;
    std::string caption;
    ASSERT_TRUE(CoBrandLink(url, caption, partner.block));
    EXPECT_EQ(url, "http://acme.example/x");
    EXPECT_EQ(caption, "Acme Tools") << "everything after the first (";
    EXPECT_EQ(moreToolsAddress(partner.block), "http://acme.example/x");

    const PartnerBlock noCaption{"Acme Search", "http://acme.example/t"};
    ASSERT_TRUE(CoBrandLink(url, caption, noCaption.block));
    EXPECT_EQ(url, "http://acme.example/t");
    EXPECT_EQ(caption, "");

    const PartnerBlock own{"Powered by TARVEX", "http://acme.example/t"};
    EXPECT_FALSE(IsCoBranded(own.block)) << "the source word in any letter case";
    EXPECT_EQ(CoBrandName(own.block), "Powered by TARVEX")
        << "the title still shows the stored name";
    EXPECT_EQ(moreToolsAddress(own.block),
              "http://p.example.net/x?a=1&page=more&version=100100602");

    const PartnerBlock flagOff{"Acme Search", "http://acme.example/t", 0};
    EXPECT_EQ(CoBrandName(flagOff.block), "Built In");
    EXPECT_FALSE(IsCoBranded(flagOff.block));
}

TEST(BrandTextsTest, VersionParameterHasNoDots) {
    std::string url = "base&page=";
    AppendLinkParameters("help", url);
    EXPECT_EQ(url, "base&page=help&version=100100602");
    EXPECT_EQ(url.find('.'), std::string::npos);
}

} // namespace
} // namespace tarvex::shell
