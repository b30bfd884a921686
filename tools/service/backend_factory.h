#pragma once

#include "service/command_line.h"
#include "service/quota_store.h"
#include "service/search_backend.h"
#include "service/web_pages.h"

#include <cstdio>
#include <memory>
#include <string>

namespace tarvex::search {

// Where the service's answers come from, as the command line says: an upstream engine, or the
// local index over a corpus. Null with the reason when it cannot be opened; `log` hears where
// the results come from.
[[nodiscard]] std::unique_ptr<SearchBackend> openBackend(const CommandLine& line, std::FILE* log,
                                                         std::string& error);

// The daily quota in the command line's database, shared by every service on it; null with the
// reason when it cannot be opened.
[[nodiscard]] std::shared_ptr<QuotaStore> openSharedQuota(const CommandLine& line,
                                                          std::string& error);

} // namespace tarvex::search
