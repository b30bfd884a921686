#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvex::search {

// One record of a control-style file: its fields in order, names as written.
struct Stanza {
    std::vector<std::pair<std::string, std::string>> fields;

    // The first field of that name (compared without regard to ASCII case), or empty.
    [[nodiscard]] std::string_view value(std::string_view name) const;
    [[nodiscard]] bool has(std::string_view name) const;
};

// Reads records in the layout of Debian control files: "Name: value" lines, records separated
// by blank lines, a line starting with a blank or tab continues the field before it, and a
// continuation line of a single "." stands for an empty line. Lines starting with "#" are
// comments. A continuation keeps its line break and loses its first blank; leading and
// trailing blanks of the first line are dropped. Lines that are neither fields nor
// continuations are counted in `badLines` and skipped.
[[nodiscard]] std::vector<Stanza> readStanzas(std::string_view text,
                                              std::size_t* badLines = nullptr);

} // namespace tarvex::search
