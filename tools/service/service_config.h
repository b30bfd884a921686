#pragma once

#include "service/command_line.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::search {

// A configuration file is written by hand; these bound what a wrong path or a runaway edit
// can make the service read.
inline constexpr std::size_t kMaxConfigFileBytes = std::size_t{64} << 10;
inline constexpr std::size_t kMaxConfigLineBytes = std::size_t{4} << 10;
// Under each configuration folder of the XDG base directories.
inline constexpr const char* kServiceConfigPath = "tarvex/service.conf";

// The environment variables that place the configuration files; empty when unset.
struct ConfigPlaces {
    std::string configDirs; // XDG_CONFIG_DIRS
    std::string configHome; // XDG_CONFIG_HOME
    std::string home;       // HOME

    [[nodiscard]] static ConfigPlaces fromEnvironment();
};

// The files to read, in order, each overriding the one before: with --config that file, with
// --no-config none, else the first $XDG_CONFIG_DIRS/tarvex/service.conf that exists (default
// folder /etc/xdg), then $XDG_CONFIG_HOME/tarvex/service.conf (default ~/.config) if it exists.
[[nodiscard]] std::vector<std::string> configFiles(const CommandLine& arguments,
                                                   const ConfigPlaces& places);

// Applies the lines of a configuration file's `text` over `line`. `file` names it in the error
// ("FILE:LINE: reason") and its folder anchors the relative paths the file gives.
[[nodiscard]] bool applyConfigText(CommandLine& line, std::string_view text,
                                   const std::string& file, std::string& error);

// Reads `file` and applies it over `line`; false with the reason when it cannot be read or a
// line of it is wrong.
[[nodiscard]] bool applyConfigFile(CommandLine& line, const std::string& file, std::string& error);

} // namespace tarvex::search
