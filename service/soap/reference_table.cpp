#include "soap/reference_table.h"

#include <new>

namespace tarvex::soap {

HResult ReferenceTable::add(std::u16string_view id, const StoredReference& reference) {
    try {
        m_pending[std::u16string{id}].push_back(reference);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOk;
}

std::vector<StoredReference> ReferenceTable::take(std::u16string_view id) {
    if (m_pending.empty()) {
        return {};
    }
    const auto it = m_pending.find(std::u16string{id});
    if (it == m_pending.end()) {
        return {};
    }
    std::vector<StoredReference> referrers = std::move(it->second);
    m_pending.erase(it);
    return referrers;
}

} // namespace tarvex::soap
