// Character data of any leaf element, read as every XSD type; what reads is written back out.
#include "base/memory_manager.h"
#include "base/sys_string.h"
#include "soap/output_sink.h"
#include "soap/xsd_codec.h"
#include "soap/xsd_types.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace tarvex;
using namespace tarvex::soap;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<char16_t> text(size / 2);
    if (!text.empty()) {
        std::memcpy(text.data(), data, text.size() * 2);
    }
    HeapMemoryManager memory;
    for (std::int32_t code = -2; code <= 44; ++code) {
        const auto type = static_cast<XsdType>(code);
        alignas(16) std::uint8_t value[32] = {};
        const HResult parsed =
            parseXsdValue(type, text.data(), static_cast<std::int32_t>(text.size()), value, memory);
        if (!failed(parsed)) {
            StringSink sink;
            (void)formatXsdValue(type, value, sink, memory);
        }
        if (isStringType(type)) {
            SysString s = nullptr;
            std::memcpy(&s, value, sizeof s);
            sysFreeString(s);
        } else if (isBinaryType(type)) {
            XsdBinary block{};
            std::memcpy(&block, value, sizeof block);
            memory.release(block.data);
        }
    }
    return 0;
}
