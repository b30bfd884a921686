#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarvex::shell {

// The program's brand data. Texts are stored enciphered (DecodeStoredText) and padded with "~";
// each is deciphered on every use.
struct BrandBlock {
    std::string_view versionPrefix;
    std::string_view versionText; // also the build date of the About box
    std::uint8_t coBrandFlag;
    char coBrandNameMarker; // 'B': a stored co-brand name is present
    std::uint8_t coBrandNameLength;
    char coBrandLinkMarker; // 'B': the co-brand link is present
    std::uint8_t coBrandLinkLength;
    std::span<const std::uint8_t> productName;
    std::span<const std::uint8_t> coBrandName;
    std::span<const std::uint8_t> coBrandLink;
    std::span<const std::uint8_t> aboutText;
    std::span<const std::uint8_t> linkBase1;
    std::span<const std::uint8_t> linkBase2;
    std::span<const std::uint8_t> linkBase3;
    std::span<const std::uint8_t> defaultSourceWord;
    std::span<const std::uint8_t> builtInCoBrandName;
};

[[nodiscard]] const BrandBlock& programBrandBlock();

[[nodiscard]] std::string ProductName(const BrandBlock& block = programBrandBlock());
[[nodiscard]] std::string aboutText(const BrandBlock& block = programBrandBlock());
// The stored co-brand name when the block allows it, else the built-in one.
[[nodiscard]] std::string CoBrandName(const BrandBlock& block = programBrandBlock());
// A partner's build: flag and link present, and the co-brand name is not the maker's own.
[[nodiscard]] bool IsCoBranded(const BrandBlock& block = programBrandBlock());
// The maker's page address up to "&page=".
[[nodiscard]] std::string LinkBase(const BrandBlock& block = programBrandBlock());
// Appends the page word and "&version=" with the version prefix and the version digits.
void AppendLinkParameters(std::string_view pageWord, std::string& url,
                          const BrandBlock& block = programBrandBlock());
// The co-brand link, split at its first "(" into address and button caption.
bool CoBrandLink(std::string& url, std::string& caption,
                 const BrandBlock& block = programBrandBlock());

// The address the "Help?" and "More Tools..." buttons open.
[[nodiscard]] std::string helpAddress(const BrandBlock& block = programBrandBlock());
[[nodiscard]] std::string moreToolsAddress(const BrandBlock& block = programBrandBlock());

} // namespace tarvex::shell
