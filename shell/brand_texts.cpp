#include "shell/brand_texts.h"

#include "base/ascii_case.h"
#include "shell/blowfish_cipher.h"

#include <algorithm>

namespace tarvex::shell {
namespace {

std::string decode(std::span<const std::uint8_t> text, std::size_t length) {
    return DecodeStoredText(text.data(), std::min(length, text.size()));
}

std::string decode(std::span<const std::uint8_t> text) {
    return decode(text, text.size());
}

} // namespace

std::string ProductName(const BrandBlock& block) {
    return decode(block.productName);
}

std::string aboutText(const BrandBlock& block) {
    return decode(block.aboutText);
}

std::string CoBrandName(const BrandBlock& block) {
    if (block.coBrandNameMarker == 'B' && block.coBrandFlag != 0) {
        return decode(block.coBrandName, block.coBrandNameLength);
    }
    return decode(block.builtInCoBrandName);
}

bool IsCoBranded(const BrandBlock& block) {
    return block.coBrandFlag != 0 && block.coBrandLinkMarker == 'B' &&
           asciiLowered(CoBrandName(block)).find(decode(block.defaultSourceWord)) ==
               std::string::npos;
}

std::string LinkBase(const BrandBlock& block) {
    return decode(block.linkBase1) + decode(block.linkBase2) + decode(block.linkBase3) + "&page=";
}

void AppendLinkParameters(std::string_view pageWord, std::string& url, const BrandBlock& block) {
    url.append(pageWord);
    url.append("&version=");
    url.append(block.versionPrefix);
    for (const char c : block.versionText) {
        if (c != '.') {
            url.push_back(c);
        }
    }
}

bool CoBrandLink(std::string& url, std::string& caption, const BrandBlock& block) {
    url.clear();
    caption.clear();
    if (!IsCoBranded(block)) {
        return false;
    }
    const std::string text = decode(block.coBrandLink, block.coBrandLinkLength);
    const std::size_t open = text.find('(');
    url = text.substr(0, open);
    if (open != std::string::npos) {
        caption = text.substr(open + 1);
    }
    return true;
}

std::string helpAddress(const BrandBlock& block) {
    std::string url = LinkBase(block);
    AppendLinkParameters("help", url, block);
    return url;
}

std::string moreToolsAddress(const BrandBlock& block) {
    std::string url;
    std::string caption;
    if (CoBrandLink(url, caption, block)) {
        return url;
    }
    url = LinkBase(block);
    AppendLinkParameters("more", url, block);
    return url;
}

} // namespace tarvex::shell
