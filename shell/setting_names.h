#pragma once

#include "shell/settings_store.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex::shell {

// The company's folder: the window's settings and its data live under it.
inline constexpr std::string_view kOrganisation = "Brenmoor Technologies";

// Every setting's section, entry and default, written once.
inline constexpr std::string_view kSettingsSection = "Settings";
inline constexpr std::string_view kSearchWordsSection = "Search Words";

// A setting: where it is kept, its type and its default, read and written through a store.
struct IntSetting {
    std::string_view section;
    std::string_view entry;
    std::int32_t fallback;

    [[nodiscard]] std::int32_t get(SettingsStore& store) const {
        return store.getInt(section, entry, fallback);
    }
    // False when the store could not keep it.
    [[nodiscard]] bool put(SettingsStore& store, std::int32_t value) const {
        return store.putInt(section, entry, value);
    }
};

struct StringSetting {
    std::string_view section;
    std::string_view entry;
    std::string_view fallback;

    [[nodiscard]] std::string get(SettingsStore& store) const {
        return store.getString(section, entry, fallback);
    }
    [[nodiscard]] bool put(SettingsStore& store, std::string_view value) const {
        return store.putString(section, entry, value);
    }
};

inline constexpr StringSetting kLicenseKey{kSettingsSection, "License Key", ""};
inline constexpr IntSetting kSearchCount{kSettingsSection, "Search Count", 0};
inline constexpr IntSetting kCacheLife{kSettingsSection, "Cache Life", 24};
inline constexpr IntSetting kMaximumResults{kSettingsSection, "Maximum Results", 10};
inline constexpr IntSetting kSearchFilter{kSettingsSection, "Search Filer", 1};
inline constexpr IntSetting kSafeSearch{kSettingsSection, "Safe Search", 0};
inline constexpr IntSetting kMinimize{kSettingsSection, "Minimize", 0};
inline constexpr IntSetting kSpreadSheetMode{kSettingsSection, "Spread Sheet Mode", 0};
inline constexpr StringSetting kCachePath{kSettingsSection, "Cache Path", ""};
inline constexpr StringSetting kServiceEndpoint{kSettingsSection, "Service Endpoint", ""};
// A PEM file of certificates trusted beside the system's store, for a service with its own
// authority.
inline constexpr StringSetting kTrustFile{kSettingsSection, "Trust File", ""};
inline constexpr IntSetting kSearchWordCount{kSearchWordsSection, "Count", 0};

// The query-word history keeps this many words before the oldest goes.
inline constexpr std::int32_t kSearchWordLimit = 100;
// No query word or licence key the service takes is longer (it refuses queries over 2048 bytes):
// a longer text in the settings is a damaged one, and laying out megabytes in a control at
// start-up took the window seconds. The history skips such words, the key field starts empty.
inline constexpr std::size_t kMaxFieldTextBytes = 2048;

// What the program says when the settings store did not keep what it wrote.
inline constexpr std::string_view kSettingsNotKept =
    "The settings could not be saved: the changes are kept for this run only.";

} // namespace tarvex::shell
