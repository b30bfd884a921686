#pragma once

#include "shell/settings_store.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarvex::shell {

// The words a drop-down list shows, most recent first, with the selected one.
struct WordList {
    std::vector<std::string> words;
    int selected = -1;
};

// How many words a list of `limit` holds: one more, as the newest word joins before the oldest
// of a full list goes.
[[nodiscard]] constexpr int historyCapacity(int limit) {
    return limit + 1;
}

// Fills `list` from the section: "Count" entries "1", "2", ...; empty ones and ones longer than
// kMaxFieldTextBytes are skipped, and no
// more than historyCapacity(limit) entries are read whatever "Count" says.
void loadWords(SettingsStore& store, std::string_view section, WordList& list, int limit);
// Puts the trimmed text first (a word already there, in any letter case, moves up in the new
// form; beyond `limit` words the last goes) and writes the whole list back; false when the store
// could not keep all of it.
[[nodiscard]] bool addWord(SettingsStore& store, std::string_view section, WordList& list,
                           std::string_view text, int limit);
// Sets "Count" to 0; the numbered entries stay, unread. False when the store could not keep it.
[[nodiscard]] bool wipeWords(SettingsStore& store, std::string_view section);

} // namespace tarvex::shell
