#pragma once

#include "cache/search_result_set.h"

#include <cstdint>
#include <string>

namespace tarvex::app {

// What the main window shows around a search; the controller reads and writes it as a whole.
struct SearchFields {
    std::string queryWord;
    std::string licenceKey;
    std::string statusText;
    std::int32_t searchNumber = 0;
};

// How a search ended: its results shown (from the service or the cache), or not.
struct SearchOutcome {
    enum class Kind { Results, CacheHit, Failed };
    Kind kind = Kind::Failed;
    // Why it failed, when that is known.
    std::string reason;
};

// The window as the search controller sees it.
class SearchView {
public:
    virtual ~SearchView() = default;
    // Read the fields: the controls' contents.
    [[nodiscard]] virtual SearchFields readFields() = 0;
    // Show the fields: into the controls.
    virtual void showFields(const SearchFields& fields) = 0;
    virtual void enableSearch(bool enabled) = 0;
    // A message box with an OK button and the application's title as caption.
    virtual void messageBox(const std::string& text) = 0;
    virtual void showResults(const cache::SearchResultSet& results) = 0;
    // The search is over: after its results, or after its failure was shown.
    virtual void searchEnded(const SearchOutcome& /*outcome*/) {}
};

// Delivers a command to the window's thread later; it never waits for it to be handled.
class CommandPoster {
public:
    virtual ~CommandPoster() = default;
    virtual void post(int command) = 0;
};

} // namespace tarvex::app
