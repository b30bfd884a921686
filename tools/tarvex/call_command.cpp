#include "app/service_pages.h"
#include "app/service_sockets.h"
#include "base/code_page.h"
#include "base/sys_string.h"
#include "proxy/google_search.h"
#include "tarvex/arg_list.h"
#include "tarvex/command.h"
#include "tarvex/json_output.h"
#include "tarvex/window_files.h"

#include <string>

namespace tarvex::cli {
namespace {

UniqueSysString wide(const std::optional<std::string>& text) {
    return UniqueSysString{text ? sysAllocString(codePageToUtf16(*text)) : nullptr};
}

int printFailure(std::ostream& out, std::ostream& err, HResult status,
                 const proxy::CGoogleSearch& proxy, const app::ServiceSockets& sockets) {
    nlohmann::ordered_json failure{{"error", statusText(status)},
                                   {"clientError", static_cast<int>(proxy.clientError())}};
    if (proxy.clientError() == proxy::ClientError::SoapFault) {
        failure["fault"] = toJson(proxy.fault());
    }
    if (app::reportTlsFailure(sockets, "tarvex call", err)) {
        failure["tlsFailure"] = http::tlsFailureName(sockets.failures->last());
    }
    if (app::reportFailureReason(sockets, "tarvex call", err)) {
        failure["reason"] = http::failureReasonText(sockets.reasons->last());
    }
    out << failure.dump() << '\n';
    return kExitFailed;
}

} // namespace

int runCall(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    const ArgList args{words,
                       {"endpoint", "key", "query", "start", "max", "filter", "safe", "phrase",
                        "url", "timeout", "ca"},
                       {}};
    if (!args.error().empty() || args.positional().size() != 1) {
        err << "tarvex call: " << (args.error().empty() ? "name one OPERATION" : args.error())
            << "\n(see tarvex call --help)\n";
        return kExitUsage;
    }
    const std::string& operation = args.positional().front();
    const auto endpoint = args.value("endpoint");
    if (!endpoint) {
        err << "tarvex call: --endpoint is required\n";
        return kExitUsage;
    }
    std::string error;
    const auto timeout = args.integer("timeout", 0, 0, 600000, error);
    if (!timeout) {
        err << "tarvex call: " << error << '\n';
        return kExitUsage;
    }
    std::string trustFile = args.value("ca").value_or("");
    if (trustFile.empty()) {
        if (const auto settings = openSettings(std::nullopt)) {
            trustFile = app::chooseTrustFile(*settings);
        }
    }
    const auto sockets = app::serviceSockets(trustFile, error);
    if (!sockets) {
        err << "tarvex call: " << error << '\n';
        return kExitFailed;
    }
    proxy::CGoogleSearch proxy{*endpoint, soap::createSaxReader, sockets->factory,
                               sockets->reasons};
    proxy.setTimeout(static_cast<std::uint32_t>(*timeout));
    const UniqueSysString key = wide(args.value("key"));

    if (operation == "doGoogleSearch") {
        const auto start = args.integer("start", 0, INT32_MIN, INT32_MAX, error);
        const auto max = args.integer("max", 10, INT32_MIN, INT32_MAX, error);
        const auto filter = args.integer("filter", 1, 0, 1, error);
        const auto safe = args.integer("safe", 0, 0, 1, error);
        if (!start || !max || !filter || !safe) {
            err << "tarvex call: " << error << '\n';
            return kExitUsage;
        }
        const UniqueSysString query = wide(args.value("query"));
        proxy::GoogleSearchResult result{};
        const HResult status =
            proxy.doGoogleSearch(key.get(), query.get(), static_cast<std::int32_t>(*start),
                                 static_cast<std::int32_t>(*max), *filter == 1, nullptr, *safe == 1,
                                 nullptr, nullptr, nullptr, result);
        if (failed(status)) {
            return printFailure(out, err, status, proxy, *sockets);
        }
        writeJson(out, result);
        proxy::releaseGoogleSearchResult(result);
        return kExitOk;
    }
    if (operation == "doSpellingSuggestion") {
        const UniqueSysString phrase = wide(args.value("phrase"));
        SysString suggestion = nullptr;
        const HResult status = proxy.doSpellingSuggestion(key.get(), phrase.get(), suggestion);
        if (failed(status)) {
            return printFailure(out, err, status, proxy, *sockets);
        }
        out << nlohmann::ordered_json{{"return", stringOrNull(suggestion)}}.dump(2) << '\n';
        sysFreeString(suggestion);
        return kExitOk;
    }
    if (operation == "doGetCachedPage") {
        const UniqueSysString url = wide(args.value("url"));
        soap::XsdBinary page{0, nullptr};
        const HResult status = proxy.doGetCachedPage(key.get(), url.get(), page);
        if (failed(status)) {
            return printFailure(out, err, status, proxy, *sockets);
        }
        const nlohmann::ordered_json text = page.data == nullptr
                                                ? nlohmann::ordered_json(nullptr)
                                                : nlohmann::ordered_json(base64Text(page));
        out << nlohmann::ordered_json{{"return", text}}.dump(2) << '\n';
        processHeap().release(page.data);
        return kExitOk;
    }
    err << "tarvex call: no operation '" << operation
        << "' (doGoogleSearch, doSpellingSuggestion, doGetCachedPage)\n";
    return kExitUsage;
}

} // namespace tarvex::cli
