#include "shell/word_history.h"

#include "base/same_word.h"
#include "shell/setting_names.h"

#include <algorithm>

namespace tarvex::shell {
namespace {

bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

void loadWords(SettingsStore& store, std::string_view section, WordList& list, int limit) {
    // A count from a hand-edited file may be anything; more entries than addWord ever writes are
    // never looked up (each lookup is a settings read).
    const std::int32_t count =
        std::min(store.getInt(section, kSearchWordCount.entry, 0), historyCapacity(limit));
    list.words.clear();
    list.selected = -1;
    for (std::int32_t i = 1; i <= count; ++i) {
        std::string word = store.getString(section, std::to_string(i), "");
        if (!word.empty() && word.size() <= kMaxFieldTextBytes) {
            list.words.push_back(std::move(word));
        }
    }
}

bool addWord(SettingsStore& store, std::string_view section, WordList& list, std::string_view text,
             int limit) {
    const std::string_view word = trimmed(text);
    if (word.empty()) {
        return true;
    }
    const auto same =
        std::find_if(list.words.begin(), list.words.end(),
                     [word](const std::string& item) { return sameWord(item, word); });
    if (same != list.words.end()) {
        list.words.erase(same);
    } else if (static_cast<int>(list.words.size()) >= historyCapacity(limit)) {
        list.words.pop_back();
    }
    list.words.insert(list.words.begin(), std::string{word});
    list.selected = 0;
    bool kept = true;
    for (std::size_t i = 0; i < list.words.size(); ++i) {
        kept = store.putString(section, std::to_string(i + 1), list.words[i]) && kept;
    }
    return store.putInt(section, kSearchWordCount.entry,
                        static_cast<std::int32_t>(list.words.size())) &&
           kept;
}

bool wipeWords(SettingsStore& store, std::string_view section) {
    return store.putInt(section, kSearchWordCount.entry, 0);
}

} // namespace tarvex::shell
