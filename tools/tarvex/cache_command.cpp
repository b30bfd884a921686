#include "app/cache_location.h"
#include "cache/cache_file.h"
#include "shell/setting_names.h"
#include "tarvex/arg_list.h"
#include "tarvex/command.h"
#include "tarvex/window_files.h"

#include <nlohmann/json.hpp>

namespace tarvex::cli {
namespace {

class CollectedErrors final : public cache::CacheFileErrors {
public:
    void report(const std::string& message) override { messages.push_back(message); }
    nlohmann::ordered_json messages = nlohmann::ordered_json::array();
};

nlohmann::ordered_json listJson(const cache::CSerStringArray& list) {
    return nlohmann::ordered_json(list.toVector());
}

} // namespace

int runCache(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    const ArgList args{words, {}, {}};
    if (!args.error().empty() || args.positional().empty() || args.positional().size() > 2 ||
        args.positional()[0] != "dump") {
        err << "tarvex cache: "
            << (args.error().empty() ? "use: tarvex cache dump [FILE]" : args.error())
            << "\n(see tarvex cache --help)\n";
        return kExitUsage;
    }
    // Without FILE: the window's cache file ("Cache Path", else its default place).
    std::string path;
    if (args.positional().size() == 2) {
        path = args.positional()[1];
    } else {
        path = openSettings(std::nullopt)
                   ->getString(shell::kCachePath.section, shell::kCachePath.entry, "");
        if (path.empty()) {
            path = app::defaultCachePath(kWindowApplicationKey);
        }
    }
    const cache::SystemClock clock;
    cache::CGoogleResultCacheArray results{clock};
    CollectedErrors errors;
    if (!cache::LoadFromFile(path, results, errors)) {
        err << "tarvex cache: cannot read " << path << '\n';
        return kExitFailed;
    }
    nlohmann::ordered_json entries = nlohmann::ordered_json::array();
    for (const auto& entry : results.entries()) {
        entries.push_back(
            {{"queryWord", entry->queryWord},
             {"estimatedTotal", entry->estimatedTotal},
             {"searchedAt",
              {{"days", entry->searchedAt.days}, {"status", entry->searchedAt.status}}},
             {"urls", listJson(entry->urls)},
             {"titles", listJson(entry->titles)},
             {"summaries", listJson(entry->summaries)},
             {"snippets", listJson(entry->snippets)},
             {"categoryNames", listJson(entry->categoryNames)},
             {"directoryTitles", listJson(entry->directoryTitles)},
             {"reservedList", listJson(entry->reservedList)}});
    }
    // Texts of a damaged file may hold bytes that are no UTF-8; they are replaced, not refused.
    out << nlohmann::ordered_json{{"entries", entries}, {"errors", errors.messages}}.dump(
               2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
        << '\n';
    return kExitOk;
}

} // namespace tarvex::cli
