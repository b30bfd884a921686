#include "tarvex/json_output.h"

#include "base/code_page.h"
#include "base/sys_string.h"
#include "soap/binary_text.h"
#include "tarvex/json_stream.h"

#include <cstdio>
#include <vector>

namespace tarvex::cli {
namespace {

nlohmann::ordered_json toJson(const proxy::DirectoryCategory& category) {
    return {{"fullViewableName", stringOrNull(category.fullViewableName)},
            {"specialEncoding", stringOrNull(category.specialEncoding)}};
}

nlohmann::ordered_json toJson(const proxy::ResultElement& element) {
    return {{"summary", stringOrNull(element.summary)},
            {"URL", stringOrNull(element.URL)},
            {"snippet", stringOrNull(element.snippet)},
            {"title", stringOrNull(element.title)},
            {"cachedSize", stringOrNull(element.cachedSize)},
            {"relatedInformationPresent", element.relatedInformationPresent != 0},
            {"hostName", stringOrNull(element.hostName)},
            {"directoryCategory", toJson(element.directoryCategory)},
            {"directoryTitle", stringOrNull(element.directoryTitle)}};
}

template <class T>
nlohmann::ordered_json arrayOf(const T* items, std::int32_t count) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (std::int32_t i = 0; items != nullptr && i < count; ++i) {
        list.push_back(toJson(items[i]));
    }
    return list;
}

void write(JsonStream& json, const proxy::DirectoryCategory& category) {
    json.beginObject();
    json.key("fullViewableName");
    json.text(category.fullViewableName);
    json.key("specialEncoding");
    json.text(category.specialEncoding);
    json.endObject();
}

void write(JsonStream& json, const proxy::ResultElement& element) {
    json.beginObject();
    json.key("summary");
    json.text(element.summary);
    json.key("URL");
    json.text(element.URL);
    json.key("snippet");
    json.text(element.snippet);
    json.key("title");
    json.text(element.title);
    json.key("cachedSize");
    json.text(element.cachedSize);
    json.key("relatedInformationPresent");
    json.scalar(element.relatedInformationPresent != 0);
    json.key("hostName");
    json.text(element.hostName);
    json.key("directoryCategory");
    write(json, element.directoryCategory);
    json.key("directoryTitle");
    json.text(element.directoryTitle);
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
    json.key("documentFiltering");
    json.scalar(result.documentFiltering != 0);
    json.key("searchComments");
    json.text(result.searchComments);
    json.key("estimatedTotalResultsCount");
    json.scalar(result.estimatedTotalResultsCount);
    json.key("estimateIsExact");
    json.scalar(result.estimateIsExact != 0);
    json.key("resultElements");
    writeArray(json, result.resultElements, result.resultElementsCount);
    json.key("searchQuery");
    json.text(result.searchQuery);
    json.key("startIndex");
    json.scalar(result.startIndex);
    json.key("endIndex");
    json.scalar(result.endIndex);
    json.key("searchTips");
    json.text(result.searchTips);
    json.key("directoryCategories");
    writeArray(json, result.directoryCategories, result.directoryCategoriesCount);
    json.key("searchTime");
    json.scalar(result.searchTime);
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
    return {{"documentFiltering", result.documentFiltering != 0},
            {"searchComments", stringOrNull(result.searchComments)},
            {"estimatedTotalResultsCount", result.estimatedTotalResultsCount},
            {"estimateIsExact", result.estimateIsExact != 0},
            {"resultElements", arrayOf(result.resultElements, result.resultElementsCount)},
            {"searchQuery", stringOrNull(result.searchQuery)},
            {"startIndex", result.startIndex},
            {"endIndex", result.endIndex},
            {"searchTips", stringOrNull(result.searchTips)},
            {"directoryCategories",
             arrayOf(result.directoryCategories, result.directoryCategoriesCount)},
            {"searchTime", result.searchTime}};
}

nlohmann::ordered_json toJson(const soap::SoapFaultInfo& fault) {
    return {{"code", fault.code},
            {"faultcode", stringOrNull(fault.faultCode.get())},
            {"faultstring", stringOrNull(fault.faultString.get())},
            {"faultactor", stringOrNull(fault.faultActor.get())},
            {"detail", stringOrNull(fault.detail.get())}};
}

} // namespace tarvex::cli
