// SoapMessageHandler's response side: character data and the text of leaf values.
#include "base/sys_string.h"
#include "soap/record_access.h"
#include "soap/soap_message_handler.h"
#include "soap/xsd_codec.h"
#include "soap/xsd_types.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace tarvex::soap {
namespace {

// Text between elements is white space in every sound message; four units are checked at once.
bool isAllXmlSpace(std::u16string_view text) {
    constexpr std::uint64_t kSpaces =
        (1ULL << ' ') | (1ULL << '\t') | (1ULL << '\r') | (1ULL << '\n');
    std::size_t i = 0;
    for (; i + 4 <= text.size(); i += 4) {
        std::uint64_t units = 0;
        std::memcpy(&units, text.data() + i, 8);
        // Any unit above 0x20 has a bit set outside the low six bits of its 16.
        if ((units & 0xFFC0FFC0FFC0FFC0ULL) != 0) {
            return false;
        }
        for (int k = 0; k < 4; ++k) {
            if (((kSpaces >> ((units >> (16 * k)) & 0x3F)) & 1U) == 0) {
                return false;
            }
        }
    }
    for (; i < text.size(); ++i) {
        if (text[i] > u' ' || ((kSpaces >> text[i]) & 1U) == 0) {
            return false;
        }
    }
    return true;
}

} // namespace

HResult SoapMessageHandler::characters(std::u16string_view text) {
    m_needText = false;
    if (!m_leaf.active) {
        // Only white space may stand between the elements of a structure or an array.
        if (!m_states.empty() &&
            (m_phase == ParsePhase::InParams || m_phase == ParsePhase::InHeader)) {
            if (!isAllXmlSpace(text)) {
                return kFail;
            }
        }
        return kOk;
    }
    if ((m_leaf.flags & SoapFlag::kIgnoreText) != 0) {
        return kOk;
    }
    if (m_leaf.entry->type == XsdType::String && !m_textStored && m_text.empty()) {
        // The usual case: a string's whole text in one event goes straight into the record.
        m_textStored = true;
        return storeString(text);
    }
    if (m_textStored) {
        // More text after all: gather it with what is stored.
        m_text.clear();
        if (const HResult status = appendText(sysStringView(loadAt<SysString>(m_leaf.target)));
            failed(status)) {
            return status;
        }
        m_textStored = false;
    }
    return appendText(text);
}

HResult SoapMessageHandler::convertLeafText() {
    const SoapMapEntry& entry = *m_leaf.entry;
    if ((m_leaf.flags & SoapFlag::kIgnoreText) != 0 || m_textStored) {
        return kOk;
    }
    if (entry.type == XsdType::User) {
        const SoapMap& enumeration = *entry.nestedMap;
        const std::uint32_t hash = soapHash(m_text.data(), m_text.size());
        for (const SoapMapEntry* e = enumeration.entries; e != nullptr && !isTerminator(*e); ++e) {
            if (e->nameHash == hash && static_cast<std::size_t>(e->nameLength) == m_text.size() &&
                std::u16string_view{e->wideName, m_text.size()} == m_text) {
                storeAt(m_leaf.target, static_cast<std::int32_t>(e->type));
                return kOk;
            }
        }
        return kFail;
    }
    if (m_text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return kOutOfMemory;
    }
    if (isStringType(entry.type)) {
        return storeString(m_text);
    }
    return parseXsdValue(entry.type, m_text.data(), static_cast<std::int32_t>(m_text.size()),
                         m_leaf.target, m_parseMemory);
}

HResult SoapMessageHandler::appendText(std::u16string_view text) {
    const std::size_t needed = m_text.size() + text.size();
    try {
        if (needed > m_text.capacity()) {
            // What the text grows by is charged before it grows.
            const std::size_t capacity = std::max(needed, 2 * m_text.capacity());
            if (!m_budget.take((capacity - m_text.capacity()) * sizeof(char16_t))) {
                return kOutOfMemory;
            }
            m_text.reserve(capacity);
        }
        m_text.append(text);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOk;
}

HResult SoapMessageHandler::storeString(std::u16string_view text) {
    if (!m_budget.take(stringCost(text.size()))) {
        return kOutOfMemory;
    }
    return parseXsdValue(XsdType::String, text.data(), static_cast<std::int32_t>(text.size()),
                         m_leaf.target, m_parseMemory);
}

} // namespace tarvex::soap
