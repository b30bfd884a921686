#include "tarvex/json_output.h"

#include "base/code_page.h"
#include "base/sys_string.h"
#include "soap/binary_text.h"
#include "tarvex/json_stream.h"

#include <cstdio>
#include <sstream>
#include <vector>

namespace tarvex::cli {
namespace {

void write(JsonStream& json, const proxy::DirectoryCategory& category) {
    json.beginObject();
    json.member("fullViewableName", category.fullViewableName);
    json.member("specialEncoding", category.specialEncoding);
    json.endObject();
}

void write(JsonStream& json, const proxy::ResultElement& element) {
    json.beginObject();
    json.member("summary", element.summary);
    json.member("URL", element.URL);
    json.member("snippet", element.snippet);
    json.member("title", element.title);
    json.member("cachedSize", element.cachedSize);
    json.member("relatedInformationPresent", element.relatedInformationPresent != 0);
    json.member("hostName", element.hostName);
    json.key("directoryCategory");
    write(json, element.directoryCategory);
    json.member("directoryTitle", element.directoryTitle);
    json.endObject();
}

template <class T>
void writeArray(JsonStream& json, const T* items, std::int32_t count) {
    json.beginArray();
    for (std::int32_t i = 0; items != nullptr && i < count; ++i) {
        write(json, items[i]);
    }
    json.endArray();
}

} // namespace

void writeJson(std::ostream& out, const proxy::GoogleSearchResult& result) {
    JsonStream json{out};
    json.beginObject();
    json.member("documentFiltering", result.documentFiltering != 0);
    json.member("searchComments", result.searchComments);
    json.member("estimatedTotalResultsCount", result.estimatedTotalResultsCount);
    json.member("estimateIsExact", result.estimateIsExact != 0);
    json.key("resultElements");
    writeArray(json, result.resultElements, result.resultElementsCount);
    json.member("searchQuery", result.searchQuery);
    json.member("startIndex", result.startIndex);
    json.member("endIndex", result.endIndex);
    json.member("searchTips", result.searchTips);
    json.key("directoryCategories");
    writeArray(json, result.directoryCategories, result.directoryCategoriesCount);
    json.member("searchTime", result.searchTime);
    json.endObject();
}

nlohmann::ordered_json stringOrNull(const char16_t* text) {
    if (text == nullptr) {
        return nullptr;
    }
    return utf16ToCodePage(sysStringView(text));
}

std::string base64Text(const soap::XsdBinary& block) {
    if (block.data == nullptr || block.size <= 0) {
        return {};
    }
    const auto size = static_cast<std::size_t>(block.size);
    std::vector<char> text(soap::base64ScratchSize(size));
    const std::size_t length = soap::base64Encode(block.data, size, text.data());
    std::string plain;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            plain.push_back(text[i]);
        }
    }
    return plain;
}

std::string statusText(HResult status) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
    return text;
}

nlohmann::ordered_json toJson(const proxy::GoogleSearchResult& result) {
    std::ostringstream text;
    writeJson(text, result);
    return nlohmann::ordered_json::parse(text.str());
}

nlohmann::ordered_json toJson(const soap::SoapFaultInfo& fault) {
    return {{"code", fault.code},
            {"faultcode", stringOrNull(fault.faultCode.get())},
            {"faultstring", stringOrNull(fault.faultString.get())},
            {"faultactor", stringOrNull(fault.faultActor.get())},
            {"detail", stringOrNull(fault.detail.get())}};
}

} // namespace tarvex::cli
