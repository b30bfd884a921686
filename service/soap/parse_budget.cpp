#include "soap/parse_budget.h"

#include <limits>

namespace tarvex::soap {

std::size_t ParseBudget::allowance() const {
    constexpr std::size_t kMost = std::numeric_limits<std::size_t>::max();
    if (m_responseBytes > (kMost - kFixedBytes) / kBytesPerResponseByte) {
        return kMost;
    }
    return kFixedBytes + kBytesPerResponseByte * m_responseBytes;
}

bool ParseBudget::take(std::size_t bytes) {
    const std::size_t limit = allowance();
    if (m_held > limit || bytes > limit - m_held) {
        return false;
    }
    m_held += bytes;
    return true;
}

void* BudgetedMemory::allocate(std::size_t bytes) {
    return m_budget.take(bytes) ? m_inner.allocate(bytes) : nullptr;
}

void* BudgetedMemory::reallocate(void* block, std::size_t bytes) {
    return m_budget.take(bytes) ? m_inner.reallocate(block, bytes) : nullptr;
}

HResult BudgetedStream::read(char* buffer, std::size_t capacity, std::size_t& count) {
    const HResult status = m_inner.read(buffer, capacity, count);
    if (!failed(status)) {
        m_budget.addResponseBytes(count);
    }
    return status;
}

HResult BudgetedStream::next(std::string_view& chunk, char* scratch, std::size_t capacity) {
    const HResult status = m_inner.next(chunk, scratch, capacity);
    if (!failed(status)) {
        m_budget.addResponseBytes(chunk.size());
    }
    return status;
}

} // namespace tarvex::soap
