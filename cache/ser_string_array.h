#pragma once

#include "cache/text_arena.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::cache {

// An ordered list of strings as the cache keeps them (text of the process code page). The
// texts lie end to end in one block, so that a list of any length takes two allocations: a
// cache of thousands of results loads at the speed of its file. A loaded list's block lies in
// the load's TextArena, shared with the other lists of the load (and with copies of the list);
// a change that does not fit into the list's own room there moves the texts to the heap.
class CSerStringArray {
public:
    CSerStringArray() = default;
    CSerStringArray(std::initializer_list<std::string_view> items);
    // A copy shares the texts in an arena, but not the room left after them.
    CSerStringArray(const CSerStringArray& other);
    CSerStringArray& operator=(const CSerStringArray& other);
    CSerStringArray(CSerStringArray&& other) noexcept = default;
    CSerStringArray& operator=(CSerStringArray&& other) noexcept = default;
    ~CSerStringArray() = default;

    [[nodiscard]] std::size_t size() const { return m_ends.size(); }
    [[nodiscard]] bool empty() const { return m_ends.empty(); }
    // Element i; std::out_of_range outside the list (lists of a file may be short). The view
    // stays valid until the list changes.
    [[nodiscard]] std::string_view operator[](std::size_t i) const;
    // Throws std::length_error past 4 GiB of text in one list.
    void add(std::string_view item);
    // Room for `count` more items holding `textBytes` more bytes in all.
    void reserve(std::size_t count, std::size_t textBytes = 0);
    // For an empty list: room for `count` items, and for `textBytes` of text in `arena`;
    // false (and room on the heap instead) when the arena has no memory left.
    bool reserveIn(const SharedTextArena& arena, std::size_t count, std::size_t textBytes);
    void clear();

    // The first index whose string is the same word as `s`, or -1.
    [[nodiscard]] std::int32_t Find(std::string_view s) const;
    // Appends `s` unless the list is unique and already holds it; true when appended.
    bool AddUnique(std::string_view s);
    // AddUnique for each string of `other`, in order; the number appended.
    std::int32_t AppendUnique(const CSerStringArray& other);
    // Element i, or the empty string outside the list.
    [[nodiscard]] std::string GetAtOrEmpty(std::int32_t i) const;
    // Every element, copied.
    [[nodiscard]] std::vector<std::string> toVector() const;
    // The heap memory the list holds, with a rough allowance for each block's header.
    [[nodiscard]] std::size_t memoryBytes() const;

    std::int32_t currentIndex = -1;
    bool unique = false;

    friend bool operator==(const CSerStringArray& a, const CSerStringArray& b);

private:
    [[nodiscard]] std::string_view text() const;
    // Moves the texts out of the arena to the heap, with room for `moreBytes` more.
    void leaveArena(std::size_t moreBytes);

    std::string m_text;                // the elements end to end, when not in an arena
    std::vector<std::uint32_t> m_ends; // where each element ends in the text
    SharedTextArena m_arena;           // set while the texts lie in an arena
    char* m_arenaText = nullptr;
    std::size_t m_arenaRoom = 0; // the bytes at m_arenaText that this list may fill
};

} // namespace tarvex::cache
