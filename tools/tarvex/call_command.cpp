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

// The --ca file, else the one the window's settings choose; empty for the system's.
std::string trustFileOf(const ArgList& args) {
    std::string trustFile = args.value("ca").value_or("");
    if (trustFile.empty()) {
        if (const auto settings = openSettings(std::nullopt)) {
            trustFile = app::chooseTrustFile(*settings);
        }
    }
    return trustFile;
}

// What each operation is called with.
struct Call {
    const ArgList& args;
    proxy::CGoogleSearch& proxy;
    const app::ServiceSockets& sockets;
    SysString key;
    std::ostream& out;
    std::ostream& err;
};

int callSearch(const Call& call) {
    std::string error;
    const auto start = call.args.integer("start", 0, INT32_MIN, INT32_MAX, error);
    const auto max = call.args.integer("max", 10, INT32_MIN, INT32_MAX, error);
    const auto filter = call.args.integer("filter", 1, 0, 1, error);
    const auto safe = call.args.integer("safe", 0, 0, 1, error);
    if (!start || !max || !filter || !safe) {
        call.err << "tarvex call: " << error << '\n';
        return kExitUsage;
    }
    const UniqueSysString query = wide(call.args.value("query"));
    proxy::GoogleSearchResult result{};
    const HResult status = call.proxy.doGoogleSearch(
        call.key, query.get(), static_cast<std::int32_t>(*start), static_cast<std::int32_t>(*max),
        *filter == 1, nullptr, *safe == 1, nullptr, nullptr, nullptr, result);
    if (failed(status)) {
        return printFailure(call.out, call.err, status, call.proxy, call.sockets);
    }
    writeJson(call.out, result);
    proxy::releaseGoogleSearchResult(result);
    return kExitOk;
}

int callSpellingSuggestion(const Call& call) {
    const UniqueSysString phrase = wide(call.args.value("phrase"));
    SysString suggestion = nullptr;
    const HResult status = call.proxy.doSpellingSuggestion(call.key, phrase.get(), suggestion);
    if (failed(status)) {
        return printFailure(call.out, call.err, status, call.proxy, call.sockets);
    }
    call.out << nlohmann::ordered_json{{"return", stringOrNull(suggestion)}}.dump(2) << '\n';
    sysFreeString(suggestion);
    return kExitOk;
}

int callCachedPage(const Call& call) {
    const UniqueSysString url = wide(call.args.value("url"));
    soap::XsdBinary page{0, nullptr};
    const HResult status = call.proxy.doGetCachedPage(call.key, url.get(), page);
    if (failed(status)) {
        return printFailure(call.out, call.err, status, call.proxy, call.sockets);
    }
    const nlohmann::ordered_json text = page.data == nullptr
                                            ? nlohmann::ordered_json(nullptr)
                                            : nlohmann::ordered_json(base64Text(page));
    call.out << nlohmann::ordered_json{{"return", text}}.dump(2) << '\n';
    processHeap().release(page.data);
    return kExitOk;
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
    const auto sockets = app::serviceSockets(trustFileOf(args), error);
    if (!sockets) {
        err << "tarvex call: " << error << '\n';
        return kExitFailed;
    }
    proxy::CGoogleSearch proxy{*endpoint, soap::createSaxReader, sockets->factory,
                               sockets->reasons};
    proxy.setTimeout(static_cast<std::uint32_t>(*timeout));
    const UniqueSysString key = wide(args.value("key"));
    const Call call{args, proxy, *sockets, key.get(), out, err};
    if (operation == "doGoogleSearch") {
        return callSearch(call);
    }
    if (operation == "doSpellingSuggestion") {
        return callSpellingSuggestion(call);
    }
    if (operation == "doGetCachedPage") {
        return callCachedPage(call);
    }
    err << "tarvex call: no operation '" << operation
        << "' (doGoogleSearch, doSpellingSuggestion, doGetCachedPage)\n";
    return kExitUsage;
}

} // namespace tarvex::cli
