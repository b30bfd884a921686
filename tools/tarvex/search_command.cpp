#include "app/cache_location.h"
#include "app/command_queue.h"
#include "app/search_session.h"
#include "app/service_pages.h"
#include "shell/setting_names.h"
#include "shell/settings_files.h"
#include "shell/settings_overlay.h"
#include "shell/settings_store.h"
#include "tarvex/arg_list.h"
#include "tarvex/command.h"
#include "tarvex/window_files.h"

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

nlohmann::ordered_json resultJson(const cache::SearchResultSet& results) {
    const auto list = [](const cache::CSerStringArray& items) {
        return nlohmann::ordered_json(items.toVector());
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

// Runs the session's one search to its end, then closes it; false when the cache file could not
// be saved. What went wrong is on `err`.
bool searchAndClose(app::SearchSession& session, app::CommandQueue& commands, std::ostream& err) {
    session.search();
    while (session.busy()) {
        int command = 0;
        if (commands.next(command, std::chrono::hours{1}) && command == res::kCmdSearchCompleted) {
            session.searchCompleted();
        }
    }
    // A save that fails keeps the old file, but the results of this run are lost: say so.
    bool saved = true;
    if (const std::optional<app::CacheSave> save = session.close()) {
        for (const std::string& message : save->messages()) {
            err << "tarvex search: " << message << '\n';
        }
        saved = save->saved;
    }
    if (!session.settingsKept()) {
        err << "tarvex search: " << shell::kSettingsNotKept << '\n';
    }
    return saved;
}

void printResults(const cache::SearchResultSet& shown, bool json, std::ostream& out) {
    if (json) {
        out << resultJson(shown).dump(2, ' ', false,
                                      nlohmann::ordered_json::error_handler_t::replace)
            << '\n';
        return;
    }
    out << shown.urls.size() << " results for \"" << shown.queryWord << "\" (about "
        << shown.estimatedTotal << ")\n";
    for (std::size_t i = 0; i < shown.urls.size(); ++i) {
        const auto row = static_cast<std::int32_t>(i);
        out << i + 1 << ". " << shown.titles.GetAtOrEmpty(row) << "\n   "
            << shown.urls.GetAtOrEmpty(row) << '\n';
    }
}

} // namespace

int runSearch(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    const ArgList args{
        words, {"key", "max", "endpoint", "settings", "cache", "ca"}, {"no-cache", "json"}};
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
    const auto stored = openSettings(args.value("settings"));
    if (stored == nullptr) {
        err << "tarvex search: cannot keep the settings in " << *args.value("settings")
            << ": its folder does not exist, or it is a folder\n";
        return kExitFailed;
    }
    if (args.has("settings") && !shell::settingsReachFiles()) {
        err << "tarvex search: this build keeps settings in memory only; "
            << *args.value("settings") << " is neither read nor written\n";
    }
    // --max is for this run only; what the search itself stores (the licence key, history)
    // goes through, as the window stores it.
    const auto settings = std::make_unique<shell::SettingsOverlay>(*stored);
    if (args.has("max")) {
        settings->setForThisRun(shell::kMaximumResults.section, shell::kMaximumResults.entry,
                                static_cast<std::int32_t>(*max));
    }
    const cache::SystemClock clock;
    app::SessionSetup setup{app::chooseEndpoint(*settings, args.value("endpoint")),
                            std::string{kWindowApplicationKey},
                            args.value("ca"),
                            args.value("cache"),
                            !args.has("no-cache"),
                            {}};
    ConsoleView view{{}, err};
    auto commands = std::make_shared<app::CommandQueue>();
    app::SearchSession session{view, *settings, clock, commands, std::move(setup)};
    if (!session.setupError().empty()) {
        err << "tarvex search: " << session.setupError() << '\n';
        return kExitFailed;
    }
    session.open([&err](const std::string& message) { err << message << '\n'; });
    view.showFields(
        {query, args.value("key").value_or(session.licenceKey()), "", session.searchCount()});
    const int status = searchAndClose(session, *commands, err) ? kExitOk : kExitFailed;
    const std::optional<app::SearchOutcome>& outcome = session.outcome();
    if (!outcome || outcome->kind == app::SearchOutcome::Kind::Failed || !view.shown) {
        if (outcome) {
            out << "Error!\n";
            if (!outcome->reason.empty()) {
                err << "tarvex search: " << outcome->reason << '\n';
            }
        }
        return kExitFailed;
    }
    printResults(*view.shown, args.has("json"), out);
    return status;
}

} // namespace tarvex::cli
