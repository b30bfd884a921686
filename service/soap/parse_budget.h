#pragma once

#include "base/memory_manager.h"
#include "soap/byte_stream.h"

#include <cstddef>
#include <cstdint>

namespace tarvex::soap {

// The memory one parse may hold: a fixed allowance plus a few bytes for every byte of response
// read so far. A few bytes of response can announce a huge array, refer to one value thousands
// of times or nest markup that is rebuilt larger, so what the parse keeps is counted before it
// is kept, and a response that would need more fails with kOutOfMemory.
class ParseBudget {
public:
    static constexpr std::size_t kFixedBytes = std::size_t{1} << 20;
    static constexpr std::size_t kBytesPerResponseByte = 4;

    void restart() {
        m_responseBytes = 0;
        m_held = 0;
    }
    void addResponseBytes(std::size_t bytes) { m_responseBytes += bytes; }
    // False, with nothing taken, when `bytes` would go past the allowance.
    [[nodiscard]] bool take(std::size_t bytes);
    // Memory given back before the parse ends.
    void give(std::size_t bytes) { m_held -= bytes < m_held ? bytes : m_held; }
    [[nodiscard]] std::size_t held() const { return m_held; }
    [[nodiscard]] std::size_t allowance() const;

private:
    std::size_t m_responseBytes = 0;
    std::size_t m_held = 0;
};

// What a record string of `units` code units holds: its text, length prefix and terminator.
[[nodiscard]] constexpr std::size_t stringCost(std::size_t units) {
    return units * sizeof(char16_t) + sizeof(std::uint32_t) + sizeof(char16_t);
}

// Record memory of a parse: each block is charged to the budget before it is asked of the
// manager underneath (a resized block is charged its whole new size, which overstates growth
// by at most the doubling). Blocks go back to the manager underneath unchanged.
class BudgetedMemory final : public MemoryManager {
public:
    BudgetedMemory(MemoryManager& inner, ParseBudget& budget) : m_inner(inner), m_budget(budget) {}

    [[nodiscard]] void* allocate(std::size_t bytes) override;
    [[nodiscard]] void* reallocate(void* block, std::size_t bytes) override;
    void release(void* block) override { m_inner.release(block); }

private:
    MemoryManager& m_inner;
    ParseBudget& m_budget;
};

// Hands a stream on and adds the bytes it hands out to a parse's allowance.
class BudgetedStream final : public ByteStream {
public:
    BudgetedStream(ByteStream& inner, ParseBudget& budget) : m_inner(inner), m_budget(budget) {}

    [[nodiscard]] HResult read(char* buffer, std::size_t capacity, std::size_t& count) override;
    [[nodiscard]] HResult next(std::string_view& chunk, char* scratch,
                               std::size_t capacity) override;
    [[nodiscard]] bool atEnd() const override { return m_inner.atEnd(); }

private:
    ByteStream& m_inner;
    ParseBudget& m_budget;
};

} // namespace tarvex::soap
