#include "cache/ser_string_array.h"

#include "base/same_word.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace tarvex::cache {

CSerStringArray::CSerStringArray(std::initializer_list<std::string_view> items) {
    for (const std::string_view item : items) {
        add(item);
    }
}

CSerStringArray::CSerStringArray(const CSerStringArray& other)
    : currentIndex(other.currentIndex), unique(other.unique), m_text(other.m_text),
      m_ends(other.m_ends), m_arena(other.m_arena), m_arenaText(other.m_arenaText),
      m_arenaRoom(other.text().size()) {}

CSerStringArray& CSerStringArray::operator=(const CSerStringArray& other) {
    if (this != &other) {
        CSerStringArray copy{other};
        *this = std::move(copy);
    }
    return *this;
}

bool operator==(const CSerStringArray& a, const CSerStringArray& b) {
    return a.currentIndex == b.currentIndex && a.unique == b.unique && a.m_ends == b.m_ends &&
           a.text() == b.text();
}

std::string_view CSerStringArray::text() const {
    if (m_arena) {
        return {m_arenaText, m_ends.empty() ? 0 : m_ends.back()};
    }
    return m_text;
}

std::string_view CSerStringArray::operator[](std::size_t i) const {
    const std::size_t end = m_ends.at(i);
    const std::size_t begin = i == 0 ? 0 : m_ends[i - 1];
    return text().substr(begin, end - begin);
}

void CSerStringArray::add(std::string_view item) {
    const std::size_t used = m_ends.empty() ? 0 : m_ends.back();
    if (item.size() > std::numeric_limits<std::uint32_t>::max() - used) {
        throw std::length_error{"a list of texts past 4 GiB"};
    }
    // Room first, so that nothing changes when it cannot be had; it doubles, as push_back's would.
    if (m_ends.size() == m_ends.capacity()) {
        m_ends.reserve(std::max<std::size_t>(4, 2 * m_ends.size()));
    }
    if (m_arena && m_arenaRoom - used >= item.size()) {
        std::copy(item.begin(), item.end(), m_arenaText + used);
    } else {
        if (m_arena) {
            leaveArena(item.size());
        }
        m_text.append(item);
    }
    m_ends.push_back(static_cast<std::uint32_t>(used + item.size()));
}

void CSerStringArray::leaveArena(std::size_t moreBytes) {
    std::string own;
    own.reserve(text().size() + moreBytes);
    own.assign(text());
    m_text = std::move(own);
    m_arena.reset();
    m_arenaText = nullptr;
    m_arenaRoom = 0;
}

void CSerStringArray::reserve(std::size_t count, std::size_t textBytes) {
    m_ends.reserve(m_ends.size() + count);
    if (!m_arena) {
        m_text.reserve(m_text.size() + textBytes);
    }
}

bool CSerStringArray::reserveIn(const SharedTextArena& arena, std::size_t count,
                                std::size_t textBytes) {
    clear();
    char* block = textBytes == 0 ? nullptr : arena->allocate(textBytes);
    if (block == nullptr) {
        reserve(count, textBytes);
        return textBytes == 0;
    }
    m_ends.reserve(count);
    m_arena = arena;
    m_arenaText = block;
    m_arenaRoom = textBytes;
    return true;
}

void CSerStringArray::clear() {
    m_text.clear();
    m_ends.clear();
    m_arena.reset();
    m_arenaText = nullptr;
    m_arenaRoom = 0;
}

std::int32_t CSerStringArray::Find(std::string_view s) const {
    for (std::size_t i = 0; i < size(); ++i) {
        if (sameWord((*this)[i], s)) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

bool CSerStringArray::AddUnique(std::string_view s) {
    if (unique && Find(s) != -1) {
        return false;
    }
    add(s);
    return true;
}

std::int32_t CSerStringArray::AppendUnique(const CSerStringArray& other) {
    // The list appended to itself: a unique list has every text already; any other list reads
    // from a copy, since each append may move the texts it reads.
    if (&other == this) {
        return unique ? 0 : AppendUnique(CSerStringArray(other));
    }
    std::int32_t appended = 0;
    for (std::size_t i = 0; i < other.size(); ++i) {
        appended += AddUnique(other[i]) ? 1 : 0;
    }
    return appended;
}

std::string CSerStringArray::GetAtOrEmpty(std::int32_t i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= size()) {
        return {};
    }
    return std::string{(*this)[static_cast<std::size_t>(i)]};
}

std::size_t CSerStringArray::memoryBytes() const {
    constexpr std::size_t kBlockOverhead = 16; // malloc's header and rounding, roughly
    static const std::size_t inPlace = std::string{}.capacity();
    // A list in an arena counts the room it holds there.
    const std::size_t text = m_arena                       ? m_arenaRoom
                             : m_text.capacity() > inPlace ? m_text.capacity() + 1 + kBlockOverhead
                                                           : 0;
    const std::size_t ends =
        m_ends.capacity() > 0 ? m_ends.capacity() * sizeof(std::uint32_t) + kBlockOverhead : 0;
    return text + ends;
}

std::vector<std::string> CSerStringArray::toVector() const {
    std::vector<std::string> items;
    items.reserve(size());
    for (std::size_t i = 0; i < size(); ++i) {
        items.emplace_back((*this)[i]);
    }
    return items;
}

} // namespace tarvex::cache
