// The main window on the offscreen platform: start-up with a full cache file up to the first
// paint, a search against the local service up to the painted rows, and one full repaint of the
// result list in both layouts. Each benchmark also reports its mean in milliseconds as "ms" and,
// where there is one, the goal as "goal_ms".
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include "cache/cache_file.h"
#include "gui/main_window/search_dlg.h"
#include "gui/widgets/google_result_ctrl.h"
#include "res/commands.h"
#include "shell/setting_names.h"
#include "shell/settings_store.h"
#include "support/service_process.h"
#include "window_test_support.h"

namespace {

using namespace tarvex;
using Clock = std::chrono::steady_clock;

constexpr int kResultsPerWord = 30;
constexpr int kPaintTimeoutMs = 10000;
constexpr int kSearchTimeoutMs = 30000;
// The endpoint of windows that never send a request (start-up, cache hits): the discard port.
const std::string kNoService = "http://127.0.0.1:9/";

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A folder of its own under /tmp, removed with everything in it at the end of the run.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarvex_window_bench_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary folder");
        }
        m_path = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Counts the paint events a widget receives, so that a benchmark knows it really painted.
class PaintCounter final : public QObject {
public:
    explicit PaintCounter(QWidget* watched) { watched->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count;
        }
        return false;
    }
};

// Texts of about the lengths the service returns, drawn from a small vocabulary.
class TextMaker {
public:
    std::string words(std::size_t length) {
        std::string text;
        while (text.size() < length) {
            if (!text.empty()) {
                text += ' ';
            }
            text += kVocabulary[m_pick(m_random) % kVocabulary.size()];
        }
        return text;
    }
    // `length` bytes or so with `runs` words in bold.
    std::string marked(std::size_t length, int runs) {
        std::string text;
        const std::size_t piece = length / static_cast<std::size_t>(runs + 1);
        for (int run = 0; run < runs; ++run) {
            text += words(piece > 10 ? piece - 10 : 1) + " <b>" + words(1) + "</b> ";
        }
        return text + words(piece);
    }

private:
    static inline const std::vector<std::string> kVocabulary{
        "computing",  "machine", "history", "early",      "memory", "program", "valve",
        "transistor", "punched", "card",    "analytical", "engine", "stored",  "relay",
        "the",        "of",      "and",     "a",          "with",   "for",     "system"};
    std::mt19937 m_random{20240601U};
    std::uniform_int_distribution<std::size_t> m_pick{0, 1000};
};

cache::SearchResultSet resultSet(TextMaker& text, const std::string& word, int count,
                                 const cache::OleDate& searchedAt) {
    cache::SearchResultSet set;
    set.queryWord = word;
    set.estimatedTotal = count * 40;
    set.searchedAt = searchedAt;
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        set.urls.add("http://www." + word + ".example.org/pages/" + n + ".html");
        set.titles.add(text.marked(60, 1));
        set.snippets.add(text.marked(150, 2));
        set.summaries.add(text.words(80));
        set.categoryNames.add("Top/Computers/History/" + text.words(8));
        set.directoryTitles.add(text.words(20));
    }
    return set;
}

// The window with the doubles the tests use and settings in memory.
struct WindowServices {
    shell::MemorySettingsStore settings;
    test::FixedClock clock;
    test::RecordingOpener opener;
    test::RecordingMessages messages;

    std::unique_ptr<app::CSearchDlg> open(const std::string& endpoint) {
        return std::make_unique<app::CSearchDlg>(app::SearchDlgServices{
            settings, clock, opener, messages, endpoint, "window_bench", {}, {}});
    }
};

// Runs the event loop until `done` holds, sleeping while there is nothing to do (a busy loop
// would take the CPU from the service on a small machine); false after `timeoutMs`.
bool spinUntil(const std::function<bool()>& done, int timeoutMs) {
    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&timedOut] { timedOut = true; });
    watchdog.start(timeoutMs);
    while (!done() && !timedOut) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return done();
}

// Shows the window and runs the event loop until the result list has been painted.
bool showAndWaitForPaint(app::CSearchDlg& window) {
    const PaintCounter painted{window.resultList().viewport()};
    window.show();
    return spinUntil([&painted] { return painted.count > 0; }, kPaintTimeoutMs);
}

// A search through the window with `word` typed, as a click on Search makes it; true once the
// window is idle again.
bool searchFor(app::CSearchDlg& window, const QString& word) {
    auto* queryWord = test::byName<QComboBox>(window, "Query Word");
    if (queryWord == nullptr) {
        return false;
    }
    queryWord->setEditText(word);
    window.onCommand(res::kCmdSearch);
    return spinUntil([&window] { return !window.searching(); }, kSearchTimeoutMs);
}

void reportMilliseconds(benchmark::State& state, const char* name, double total) {
    state.counters[name] = total / static_cast<double>(state.iterations());
}

// Start-up with a cache file of `entries` words × 30 results (the benchmark's argument): the
// constructor loads the file, then
// the window is shown and the event loop runs until its first paint. That paint is the one the
// expose event starts: it draws every widget into the window's backing store and flushes it,
// as on a screen. (grab() would draw into a pixmap of its own instead, skipping the backing
// store and the expose path.)
void startToFirstPaint(benchmark::State& state, const std::filesystem::path& folder) {
    const auto words = static_cast<int>(state.range(0));
    const std::filesystem::path master = folder / ("start_" + std::to_string(words) + ".glr");
    const std::filesystem::path working = folder / "start_working.glr";
    if (!std::filesystem::exists(master)) {
        test::FixedClock clock;
        cache::CGoogleResultCacheArray cache{clock};
        TextMaker text;
        // Added as they are: Store would look for each word among those before it.
        for (int word = 0; word < words; ++word) {
            const std::string name = "word" + std::to_string(word);
            cache::SearchResultSet set = resultSet(text, name, kResultsPerWord, clock.now());
            auto entry = std::make_unique<cache::CGoogleResultCache>();
            entry->queryWord = name;
            entry->estimatedTotal = set.estimatedTotal;
            entry->searchedAt = set.searchedAt;
            entry->urls = std::move(set.urls);
            entry->titles = std::move(set.titles);
            entry->summaries = std::move(set.summaries);
            entry->snippets = std::move(set.snippets);
            entry->categoryNames = std::move(set.categoryNames);
            entry->directoryTitles = std::move(set.directoryTitles);
            cache.add(std::move(entry));
        }
        if (!cache::SaveToFile(master.string(), cache)) {
            state.SkipWithError("cannot write the cache file");
            return;
        }
    }
    double constructMs = 0;
    double totalMs = 0;
    double closeMs = 0;
    for (auto _ : state) {
        // Closing the window saves the cache; every start reads an untouched copy.
        state.PauseTiming();
        std::filesystem::copy_file(master, working,
                                   std::filesystem::copy_options::overwrite_existing);
        WindowServices services;
        services.settings.putString(shell::kCachePath.section, shell::kCachePath.entry,
                                    working.string());
        state.ResumeTiming();

        const Clock::time_point start = Clock::now();
        std::unique_ptr<app::CSearchDlg> window = services.open(kNoService);
        constructMs += millisecondsSince(start);
        const bool painted = showAndWaitForPaint(*window);
        totalMs += millisecondsSince(start);

        state.PauseTiming();
        const bool loaded = window->resultCache().GetCount() == words;
        const Clock::time_point closing = Clock::now();
        window.reset();
        closeMs += millisecondsSince(closing);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        if (!painted || !loaded || !services.messages.texts.empty()) {
            state.SkipWithError(!painted ? "the window was not painted"
                                         : "the cache file was not loaded");
            return;
        }
    }
    state.counters["entries"] = words;
    state.counters["file_MB"] =
        static_cast<double>(std::filesystem::file_size(master)) / (1024.0 * 1024.0);
    reportMilliseconds(state, "construct_ms", constructMs);
    // Not in the time: closing the window, which saves the cache file.
    reportMilliseconds(state, "close_ms", closeMs);
    reportMilliseconds(state, "ms", totalMs);
    state.counters["goal_ms"] = 300;
}

// Words of the built-in corpus with at least 30 results each; the window's cache is emptied
// before every search, so each one goes to the service.
const std::vector<QString> kServiceWords{"computing", "the", "and"};

void searchToRowsPainted(benchmark::State& state, std::unique_ptr<test::ServiceProcess>& service) {
    if (!service) {
        service = std::make_unique<test::ServiceProcess>(
            TARVEX_SERVICE_BINARY, std::vector<std::string>{"--corpus", TARVEX_BUNDLED_CORPUS});
    }
    if (service->endpoint().empty()) {
        state.SkipWithError(("the service did not start: " + service->errorOutput()).c_str());
        return;
    }
    // No "Cache Path": the window's default file lands in the benchmark's folder.
    WindowServices services;
    services.settings.putInt(shell::kMaximumResults.section, shell::kMaximumResults.entry, 30);
    services.settings.putString(shell::kLicenseKey.section, shell::kLicenseKey.entry, "bench");
    std::unique_ptr<app::CSearchDlg> window = services.open(service->endpoint());
    if (!showAndWaitForPaint(*window)) {
        state.SkipWithError("the window was not painted");
        return;
    }
    const PaintCounter painted{window->resultList().viewport()};
    std::size_t next = 0;
    double searchMs = 0;
    double totalMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        window->resultCache().clear();
        window->resultList().setItemCount(0);
        const QString& word = kServiceWords[next++ % kServiceWords.size()];
        const int paintsBefore = painted.count;
        state.ResumeTiming();

        const Clock::time_point start = Clock::now();
        const bool finished = searchFor(*window, word);
        searchMs += millisecondsSince(start);
        window->resultList().viewport()->repaint();
        totalMs += millisecondsSince(start);

        if (!finished || window->resultList().itemCount() != 30 || painted.count == paintsBefore) {
            state.SkipWithError(("no 30 rows painted for " + word.toStdString()).c_str());
            break;
        }
    }
    reportMilliseconds(state, "search_ms", searchMs);
    reportMilliseconds(state, "ms", totalMs);
    state.counters["goal_ms"] = 20;
}

// One repaint of the result list's visible rows with 30 results, in the normal layout (argument
// 0) or the spreadsheet layout (1). repaint() paints at once into the backing store.
void paintFullPage(benchmark::State& state) {
    const bool spreadSheet = state.range(0) != 0;
    WindowServices services;
    services.settings.putString(shell::kLicenseKey.section, shell::kLicenseKey.entry, "bench");
    std::unique_ptr<app::CSearchDlg> window = services.open(kNoService);
    if (!showAndWaitForPaint(*window)) {
        state.SkipWithError("the window was not painted");
        return;
    }
    TextMaker text;
    (void)window->resultCache().Store(
        "page", resultSet(text, "page", kResultsPerWord, services.clock.now()));
    if (!searchFor(*window, "page") || window->resultList().itemCount() != kResultsPerWord) {
        state.SkipWithError("the cached results were not shown");
        return;
    }
    if (spreadSheet) {
        auto* box = test::byName<QCheckBox>(*window, "Spread Sheet Mode");
        if (box == nullptr) {
            state.SkipWithError("no Spread Sheet Mode check box");
            return;
        }
        box->setChecked(true);
        window->onCommand(res::kCmdSpreadSheet);
    }
    QCoreApplication::processEvents();
    if (window->resultList().spreadSheetMode() != spreadSheet ||
        window->resultList().itemCount() != kResultsPerWord) {
        state.SkipWithError("the layout did not change");
        return;
    }
    QWidget* viewport = window->resultList().viewport();
    const PaintCounter painted{viewport};
    double totalMs = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        viewport->repaint();
        totalMs += millisecondsSince(start);
    }
    if (painted.count != static_cast<int>(state.iterations())) {
        state.SkipWithError("a repaint did not paint");
        return;
    }
    const int rowHeight = window->resultList().itemHeight();
    state.counters["rows_visible"] =
        rowHeight > 0 ? (viewport->height() + rowHeight - 1) / rowHeight : 0;
    reportMilliseconds(state, "ms", totalMs);
    state.SetLabel(spreadSheet ? "spreadsheet" : "normal");
}

} // namespace

int main(int argc, char** argv) {
    // The figures are those of the offscreen platform, whatever the caller's session is.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application{argc, argv};
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const TemporaryFolder folder;
    // A window that falls back to its default cache file writes it here, not in the user's.
    setenv("XDG_DATA_HOME", (folder.path() / "data").c_str(), 1);
    std::unique_ptr<test::ServiceProcess> service;

    benchmark::RegisterBenchmark(
        "BM_StartToFirstPaint",
        [&folder](benchmark::State& state) { startToFirstPaint(state, folder.path()); })
        ->ArgName("entries")
        ->Arg(1000)
        ->Arg(10000)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(
        "BM_SearchToRowsPainted",
        [&service](benchmark::State& state) { searchToRowsPainted(state, service); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_PaintFullPage", paintFullPage)
        ->ArgName("spreadsheet")
        ->Arg(0)
        ->Arg(1)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    service.reset();
    return 0;
}
