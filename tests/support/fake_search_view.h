#pragma once

#include "app/search_view.h"

#include <string>
#include <vector>

namespace tarvex::test {

// A window as the search sees it: the fields it holds, and everything it was asked to show.
class FakeSearchView final : public app::SearchView {
public:
    app::SearchFields readFields() override { return fields; }
    void showFields(const app::SearchFields& values) override {
        fields = values;
        statuses.push_back(values.statusText);
    }
    void enableSearch(bool enabled) override { searchEnabled = enabled; }
    void messageBox(const std::string& text) override { messages.push_back(text); }
    void showResults(const cache::SearchResultSet& results) override { shown.push_back(results); }
    void searchEnded(const app::SearchOutcome& outcome) override { ends.push_back(outcome); }

    app::SearchFields fields;
    bool searchEnabled = true;
    std::vector<std::string> statuses;
    std::vector<std::string> messages;
    std::vector<cache::SearchResultSet> shown;
    std::vector<app::SearchOutcome> ends;
};

} // namespace tarvex::test
