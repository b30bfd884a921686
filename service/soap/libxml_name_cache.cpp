// The UTF-16 element names of the libxml2 SAX reader, kept by libxml2's dictionary pointers.
#include "soap/libxml_name_cache.h"

namespace tarvex::soap {

LibxmlNameCache::Names LibxmlNameCache::get(Utf8 local, Utf8 prefix, Utf8 uri) {
    const auto key = (reinterpret_cast<std::uintptr_t>(local) >> 3) ^
                     (reinterpret_cast<std::uintptr_t>(prefix) >> 2) ^
                     (reinterpret_cast<std::uintptr_t>(uri) >> 4);
    Slot& slot = m_slots[key % m_slots.size()];
    if (slot.generation != m_generation || slot.local != local || slot.prefix != prefix ||
        slot.uriKey != uri) {
        slot.uri.clear();
        slot.qname.clear();
        slot.uri.appendUtf8(utf8View(uri));
        if (prefix != nullptr) {
            slot.qname.appendUtf8(utf8View(prefix));
            slot.qname.append(u':');
        }
        slot.localOffset = slot.qname.size();
        slot.qname.appendUtf8(utf8View(local));
        slot.local = local;
        slot.prefix = prefix;
        slot.uriKey = uri;
        slot.generation = m_generation;
    }
    return Names{slot.uri.view(), slot.qname.view().substr(slot.localOffset), slot.qname.view()};
}

} // namespace tarvex::soap
