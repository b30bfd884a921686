#include "support/search_answers.h"

#include "support/scripted_server.h"

namespace tarvex::test {

std::string searchAnswer(int start, int count, std::int32_t estimatedTotal) {
    std::string items;
    for (int i = 1; i <= count; ++i) {
        const std::string n = std::to_string(start + i);
        items.append("<item><summary/><URL>http://r/")
            .append(n)
            .append("</URL><snippet/><title>T")
            .append(n);
        items += "</title><cachedSize/><relatedInformationPresent>0</"
                 "relatedInformationPresent><hostName/>"
                 "<directoryCategory><fullViewableName/><specialEncoding/></"
                 "directoryCategory><directoryTitle/></item>";
    }
    std::string body =
        R"(<E:Envelope xmlns:E="http://schemas.xmlsoap.org/soap/envelope/" )"
        R"(xmlns:C="http://schemas.xmlsoap.org/soap/encoding/"><E:Body><r><return>)"
        "<documentFiltering>0</documentFiltering><searchComments/><estimatedTotalResultsCount>";
    body.append(std::to_string(estimatedTotal));
    body += "</estimatedTotalResultsCount><estimateIsExact>0</estimateIsExact>"
            R"(<resultElements C:arrayType="x:ResultElement[)";
    body.append(std::to_string(count)).append("]\">").append(items);
    body.append("</resultElements><searchQuery/><startIndex>").append(std::to_string(start + 1));
    body.append("</startIndex><endIndex>").append(std::to_string(start + count));
    body += "</endIndex><searchTips/><directoryCategories C:arrayType=\"x:DirectoryCategory[0]\"/>"
            "<searchTime>0.1</searchTime></return></r></E:Body></E:Envelope>";
    return ScriptedServer::response(200, body);
}

} // namespace tarvex::test
