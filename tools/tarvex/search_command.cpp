#include "arg_list.h"
#include "cache_file.h"
#include "cache_location.h"
#include "command.h"
#include "command_queue.h"
#include "search_controller.h"
#include "service_pages.h"
#include "setting_names.h"
#include "settings_store.h"
#include "window_files.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>

namespace tarvex::cli {
namespace {

class ConsoleView final : public app::SearchView {
public:
    ConsoleView(app::SearchFields fields, std::ostream& err)
        : m_fields(std::move(fields)), m_err(err) {}
    app::SearchFields readFields() override { return m_fields; }
    void showFields(const app::SearchFields& fields) override {
        if (fields.statusText != m_fields.statusText && !fields.statusText.empty()) {
            m_err << fields.statusText << '\n';
        }
        m_fields = fields;
    }
    void enableSearch(bool /*enabled*/) override {}
    void messageBox(const std::string& text) override { m_err << text << '\n'; }
    void showResults(const cache::SearchResultSet& results) override { shown = results; }

    [[nodiscard]] const app::SearchFields& fields() const { return m_fields; }
    std::optional<cache::SearchResultSet> shown;

private:
    app::SearchFields m_fields;
    std::ostream& m_err;
};

class PrintedErrors final : public cache::CacheFileErrors {
public:
    explicit PrintedErrors(std::ostream& err) : m_err(err) {}
    void report(const std::string& message) override { m_err << message << '\n'; }

private:
    std::ostream& m_err;
};

nlohmann::ordered_json resultJson(const cache::SearchResultSet& results) {
    const auto list = [](const cache::CSerStringArray& items) {
        return nlohmann::ordered_json(items.items());
    };
    return {
        {"queryWord", results.queryWord},
        {"estimatedTotal", results.estimatedTotal},
        {"searchedAt", {{"days", results.searchedAt.days}, {"status", results.searchedAt.status}}},
        {"urls", list(results.urls)},
        {"titles", list(results.titles)},
        {"summaries", list(results.summaries)},
        {"snippets", list(results.snippets)},
        {"categoryNames", list(results.categoryNames)},
        {"directoryTitles", list(results.directoryTitles)}};
}

} // namespace

int runSearch(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    const ArgList args{
        words, {"key", "max", "endpoint", "settings", "cache"}, {"no-cache", "json"}};
    if (!args.error().empty() || args.positional().empty()) {
        err << "tarvex search: " << (args.error().empty() ? "give the QUERY" : args.error())
            << "\n(see tarvex search --help)\n";
        return kExitUsage;
    }
    std::string query;
    for (const std::string& word : args.positional()) {
        query += (query.empty() ? "" : " ") + word;
    }
    std::string error;
    const auto max = args.integer("max", 0, 1, 1000, error);
    if (!max) {
        err << "tarvex search: " << error << '\n';
        return kExitUsage;
    }
    const auto settings = openSettings(args.value("settings"));
    if (args.has("max")) {
        settings->putInt(shell::kMaximumResults.section, shell::kMaximumResults.entry,
                         static_cast<std::int32_t>(*max));
    }
    const std::string key = args.value("key").value_or(settings->getString(
        shell::kLicenseKey.section, shell::kLicenseKey.entry, shell::kLicenseKey.fallback));
    const std::string endpoint = app::chooseEndpoint(*settings, args.value("endpoint"));

    const cache::SystemClock clock;
    cache::CGoogleResultCacheArray results{clock};
    results.cacheLifeHours = settings->getInt(shell::kCacheLife.section, shell::kCacheLife.entry,
                                              shell::kCacheLife.fallback);
    const bool useCacheFile = !args.has("no-cache");
    PrintedErrors cacheErrors{err};
    if (useCacheFile) {
        app::loadCache(*settings, results, cacheErrors, args.value("cache"));
    }

    ConsoleView view{app::SearchFields{query, key, "",
                                       settings->getInt(shell::kSearchCount.section,
                                                        shell::kSearchCount.entry, 0)},
                     err};
    auto commands = std::make_shared<app::CommandQueue>();
    app::SearchController controller{
        view,
        *settings,
        results,
        clock,
        [endpoint] { return std::make_unique<proxy::CGoogleSearch>(endpoint); },
        commands};
    controller.OnSearch();
    while (controller.busy()) {
        int command = 0;
        if (commands->next(command, std::chrono::hours{1}) &&
            command == app::kSearchCompletedCommand) {
            controller.OnSearchCompleted();
        }
    }

    if (useCacheFile) {
        (void)app::saveCache(*settings, results, kWindowApplicationKey, args.value("cache"));
    }
    if (!view.shown) {
        if (view.fields().statusText == "Error!") {
            out << "Error!\n";
        }
        return kExitFailed;
    }
    const cache::SearchResultSet& shown = *view.shown;
    if (args.has("json")) {
        out << resultJson(shown).dump(2, ' ', false,
                                      nlohmann::ordered_json::error_handler_t::replace)
            << '\n';
        return kExitOk;
    }
    out << shown.urls.size() << " results for \"" << shown.queryWord << "\" (about "
        << shown.estimatedTotal << ")\n";
    for (std::size_t i = 0; i < shown.urls.size(); ++i) {
        out << i + 1 << ". " << shown.titles[i] << "\n   " << shown.urls[i] << '\n';
    }
    return kExitOk;
}

} // namespace tarvex::cli
