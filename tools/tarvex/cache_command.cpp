#include "app/cache_location.h"
#include "cache/cache_file.h"
#include "shell/setting_names.h"
#include "tarvex/arg_list.h"
#include "tarvex/command.h"
#include "tarvex/json_stream.h"
#include "tarvex/window_files.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarvex::cli {
namespace {

class CollectedErrors final : public cache::CacheFileErrors {
public:
    void report(const std::string& message) override { messages.push_back(message); }
    std::vector<std::string> messages;
};

void writeList(JsonStream& json, std::string_view name, const cache::CSerStringArray& list) {
    json.key(name);
    json.beginArray();
    for (std::size_t i = 0; i < list.size(); ++i) {
        json.utf8Text(list[i]);
    }
    json.endArray();
}

void writeEntry(JsonStream& json, const cache::CGoogleResultCache& entry) {
    json.beginObject();
    json.key("queryWord");
    json.utf8Text(entry.queryWord);
    json.member("estimatedTotal", entry.estimatedTotal);
    json.key("searchedAt");
    json.beginObject();
    json.member("days", entry.searchedAt.days);
    json.member("status", entry.searchedAt.status);
    json.endObject();
    writeList(json, "urls", entry.urls);
    writeList(json, "titles", entry.titles);
    writeList(json, "summaries", entry.summaries);
    writeList(json, "snippets", entry.snippets);
    writeList(json, "categoryNames", entry.categoryNames);
    writeList(json, "directoryTitles", entry.directoryTitles);
    writeList(json, "reservedList", entry.reservedList);
    json.endObject();
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
        path = shell::kCachePath.get(*openSettings(std::nullopt));
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
    // Written entry by entry as the loaded cache holds it, so that the dump takes little more
    // memory than the load. Texts of a damaged file may hold bytes that are no UTF-8; they are
    // replaced, not refused.
    JsonStream json{out};
    json.beginObject();
    json.key("entries");
    json.beginArray();
    for (const auto& entry : results.entries()) {
        writeEntry(json, *entry);
    }
    json.endArray();
    json.key("errors");
    json.beginArray();
    for (const std::string& message : errors.messages) {
        json.utf8Text(message);
    }
    json.endArray();
    json.endObject();
    return kExitOk;
}

} // namespace tarvex::cli
