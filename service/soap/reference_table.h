#pragma once

#include "base/status.h"
#include "soap/soap_map.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarvex::soap {

// Where a multi-reference value must go: the state the referring element would have pushed.
struct StoredReference {
    void* target = nullptr;
    std::uint32_t flags = 0;
    const SoapMap* map = nullptr;
    const SoapMapEntry* entry = nullptr;
};

// SOAP 1.1 5.4.1: values referred to by href="#id" that have not arrived yet, by id. One id may
// have several referrers; each receives the value.
class ReferenceTable {
public:
    [[nodiscard]] HResult add(std::u16string_view id, const StoredReference& reference);
    // The referrers waiting for `id`, taken out of the table; empty when none wait.
    [[nodiscard]] std::vector<StoredReference> take(std::u16string_view id);
    [[nodiscard]] bool empty() const { return m_pending.empty(); }
    void clear() { m_pending.clear(); }

private:
    struct Hash {
        std::size_t operator()(const std::u16string& key) const {
            return soapHash(key.data(), key.size());
        }
    };
    std::unordered_map<std::u16string, std::vector<StoredReference>, Hash> m_pending;
};

} // namespace tarvex::soap
