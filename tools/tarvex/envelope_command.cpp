#include "base/code_page.h"
#include "base/sys_string.h"
#include "proxy/google_search_handler.h"
#include "soap/output_sink.h"
#include "tarvex/arg_list.h"
#include "tarvex/command.h"

#include <cstdio>

namespace tarvex::cli {

int runEnvelope(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    const ArgList args{words, {"key", "query", "start", "max", "filter", "safe"}, {}};
    if (!args.error().empty() || !args.positional().empty()) {
        err << "tarvex envelope: "
            << (args.error().empty() ? "unexpected word '" + args.positional().front() + "'"
                                     : args.error())
            << "\n(see tarvex envelope --help)\n";
        return kExitUsage;
    }
    const auto key = args.value("key");
    const auto query = args.value("query");
    if (!key || !query) {
        err << "tarvex envelope: --key and --query are required\n";
        return kExitUsage;
    }
    std::string error;
    const auto start = args.integer("start", 0, INT32_MIN, INT32_MAX, error);
    const auto max = args.integer("max", 10, INT32_MIN, INT32_MAX, error);
    const auto filter = args.integer("filter", 1, 0, 1, error);
    const auto safe = args.integer("safe", 0, 0, 1, error);
    if (!start || !max || !filter || !safe) {
        err << "tarvex envelope: " << error << '\n';
        return kExitUsage;
    }

    // The same conversion the search worker makes: process code page to UTF-16.
    const UniqueSysString wideKey{sysAllocString(codePageToUtf16(*key))};
    const UniqueSysString wideQuery{sysAllocString(codePageToUtf16(*query))};
    if (!wideKey || !wideQuery) {
        err << "tarvex envelope: out of memory\n";
        return kExitFailed;
    }
    proxy::DoGoogleSearchArgs call;
    call.key = wideKey.get();
    call.q = wideQuery.get();
    call.start = static_cast<std::int32_t>(*start);
    call.maxResults = static_cast<std::int32_t>(*max);
    call.filter = *filter == 1;
    call.safeSearch = *safe == 1;

    soap::StringSink sink;
    if (const HResult status = proxy::writeDoGoogleSearchRequest(call, sink); failed(status)) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(status));
        err << "tarvex envelope: the request could not be written (" << hex << ")\n";
        return kExitFailed;
    }
    out.write(sink.text().data(), static_cast<std::streamsize>(sink.text().size()));
    return out ? kExitOk : kExitFailed;
}

} // namespace tarvex::cli
