// The character data the libxml2 SAX reader gathers between element events, and its hand-over.
#include "soap/pending_text.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tarvex::soap {
namespace {

// Scratch buffers larger than this are given back once used, so that one long text does not
// keep its copies for the rest of the parse or the life of the reader.
constexpr std::size_t kKeptScratchBytes = std::size_t{1} << 20;

} // namespace

bool PendingText::append(std::string_view text) noexcept {
    if (text.size() > m_capacity - m_size && !grow(text.size())) {
        return false;
    }
    std::memcpy(m_data.get() + m_size, text.data(), text.size());
    m_size += text.size();
    return true;
}

HResult PendingText::flush(SaxContentHandler* handler) {
    if (empty()) {
        return kOk;
    }
    try {
        m_text.clear();
        m_text.appendUtf8(std::string_view{m_data.get(), m_size});
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    clearAndTrimBytes();
    HResult status = kOk;
    if (handler != nullptr) {
        status = handler->characters(m_text.view());
    }
    trimText();
    return status;
}

void PendingText::clearAndTrim() {
    clearAndTrimBytes();
    trimText();
}

void PendingText::clearAndTrimBytes() {
    m_size = 0;
    if (m_capacity > kKeptScratchBytes) {
        m_data.reset();
        m_capacity = 0;
    }
}

void PendingText::trimText() {
    if (m_text.capacity() * sizeof(char16_t) > kKeptScratchBytes) {
        m_text = Utf16Buffer{};
    }
}

bool PendingText::grow(std::size_t length) noexcept {
    const std::size_t capacity = std::max({m_size + length, 2 * m_capacity, std::size_t{256}});
    std::unique_ptr<char[]> data{new (std::nothrow) char[capacity]};
    if (data == nullptr) {
        return false;
    }
    if (m_size > 0) {
        std::memcpy(data.get(), m_data.get(), m_size);
    }
    m_data = std::move(data);
    m_capacity = capacity;
    return true;
}

} // namespace tarvex::soap
