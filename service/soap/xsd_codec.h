#pragma once

#include "base/memory_manager.h"
#include "base/status.h"
#include "soap/output_sink.h"
#include "soap/soap_flags.h"

#include <cstdint>

namespace tarvex::soap {

// Reads the character data of one leaf element (`length` UTF-16 code units, not terminated)
// into `destination`, whose in-memory form is fixed by `type`. Binary blocks come from `memory`.
// Numbers are read leniently and never fail, except doubles out of range; booleans are strict.
[[nodiscard]] HResult parseXsdValue(XsdType type, const char16_t* text, std::int32_t length,
                                    void* destination, MemoryManager& memory);

// Writes the text form of the value at `value`. Strings are escaped; binary encodings are built
// in a scratch buffer lent by `memory`.
[[nodiscard]] HResult formatXsdValue(XsdType type, const void* value, OutputSink& sink,
                                     MemoryManager& memory);

} // namespace tarvex::soap
