#include "soap_message_handler.h"

#include <new>

namespace tarvex::soap {
namespace {

constexpr std::size_t kStackGrowth = 16;

} // namespace

SoapMessageHandler::SoapMessageHandler(MemoryManager& memory, bool client)
    : m_memory(memory), m_client(client) {}

HResult SoapMessageHandler::pushState(void* target, const SoapMap* map, const SoapMapEntry* entry,
                                      std::uint32_t flags, std::int32_t capacity,
                                      std::int32_t expected, std::int32_t seen) {
    try {
        if (m_states.size() == m_states.capacity()) {
            m_states.reserve(m_states.size() + kStackGrowth);
        }
        m_states.push_back(
            ParseState{target, flags, capacity, expected, seen, map, entry, m_depth});
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOk;
}

} // namespace tarvex::soap
