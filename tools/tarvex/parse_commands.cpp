#include "arg_list.h"
#include "command.h"
#include "google_search_handler.h"
#include "json_output.h"
#include "soap_fault.h"

#include <fstream>
#include <iterator>
#include <optional>

namespace tarvex::cli {
namespace {

// The one FILE argument of parse and fault, read whole; empty optional (after a message) when
// the words are wrong or the file cannot be read.
std::optional<std::string> readFileArgument(std::string_view command,
                                            const std::vector<std::string>& words,
                                            std::ostream& err, int& exitStatus) {
    const ArgList args{words, {}, {}};
    if (!args.error().empty() || args.positional().size() != 1) {
        err << "tarvex " << command << ": "
            << (args.error().empty() ? "give one FILE" : args.error()) << "\n(see tarvex "
            << command << " --help)\n";
        exitStatus = kExitUsage;
        return std::nullopt;
    }
    const std::string& path = args.positional().front();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        err << "tarvex " << command << ": cannot read " << path << '\n';
        exitStatus = kExitFailed;
        return std::nullopt;
    }
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int printError(std::ostream& out, HResult status) {
    out << nlohmann::ordered_json{{"error", statusText(status)}}.dump() << '\n';
    return kExitFailed;
}

} // namespace

int runParse(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    int exitStatus = kExitOk;
    const auto body = readFileArgument("parse", words, err, exitStatus);
    if (!body) {
        return exitStatus;
    }
    const auto reader = soap::createSaxReader();
    if (reader == nullptr) {
        return printError(out, kOutOfMemory);
    }
    soap::MemoryStream stream{*body};
    proxy::GoogleSearchResult result{};
    if (const HResult status = proxy::parseDoGoogleSearchResponse(*reader, stream, result);
        failed(status)) {
        return printError(out, status);
    }
    out << toJson(result).dump(2) << '\n';
    proxy::releaseGoogleSearchResult(result);
    return kExitOk;
}

int runFault(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    int exitStatus = kExitOk;
    const auto body = readFileArgument("fault", words, err, exitStatus);
    if (!body) {
        return exitStatus;
    }
    soap::MemoryStream stream{*body};
    soap::SoapFaultInfo fault;
    if (const HResult status = soap::parseFault(&stream, nullptr, fault); failed(status)) {
        return printError(out, status);
    }
    out << toJson(fault).dump(2) << '\n';
    return kExitOk;
}

} // namespace tarvex::cli
