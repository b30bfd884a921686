#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex::shell {

// The settings file is read whole at start and written whole at every change: one of many
// megabytes (damaged, or made to hurt) held the window's start and close for seconds each. No
// file this program writes comes near kMaxSettingsFileBytes, nor any of its lines near
// kMaxSettingsLineBytes (its longest values are capped at a few KiB).
inline constexpr std::uintmax_t kMaxSettingsFileBytes = std::uintmax_t{2} << 20;
inline constexpr std::size_t kMaxSettingsLineBytes = std::size_t{64} << 10;
// How much of a larger file is looked through for lines to keep.
inline constexpr std::uintmax_t kMaxSettingsScanBytes = std::uintmax_t{256} << 20;
inline constexpr std::string_view kOversizedSuffix = ".oversized";

struct SettingsTrim {
    enum class Outcome {
        Untouched, // no regular file, or one within kMaxSettingsFileBytes
        Trimmed,   // the file holds its short lines now; the whole file was set aside
        Failed,    // the file could not be trimmed and is as it was
    };
    Outcome outcome = Outcome::Untouched;
    std::string message; // for the user, unless untouched
};

// Trims a settings file over kMaxSettingsFileBytes to its lines of at most kMaxSettingsLineBytes,
// up to kMaxSettingsFileBytes of them in all, from the first kMaxSettingsScanBytes. The whole
// file is first set aside beside it under its name with kOversizedSuffix (then ".1", ".2" ...),
// never over an earlier one, so nothing of it is lost; the trimmed file is readable by its owner
// only, as the settings file is kept.
[[nodiscard]] SettingsTrim trimOversizedSettings(const std::string& path);

} // namespace tarvex::shell
