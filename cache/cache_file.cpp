// The cache file's format: the cache written to bytes and read back from them, with every error
// of a damaged or hostile file reported and the memory of what is read kept to a budget.
#include "cache/cache_file.h"

#include "base/code_page.h"
#include "cache/cache_format.h"
#include "cache/text_arena.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace tarvex::cache {
namespace {

using format::ByteCount;
using format::kBigTag;
using format::kClassBit;
using format::kEntryClass;
using format::kEntryClassReference;
using format::kMaxClassName;
using format::kNewClassTag;
using format::kSchema;
using format::kUnicodeMarker;
using format::writeCache;

constexpr std::string_view kEndOfFile = "An attempt was made to access %1 past its end.";
constexpr std::string_view kGeneralError = "An unknown error occurred while accessing %1.";
constexpr std::string_view kBadIndex = "%1 has a bad format.";
constexpr std::string_view kBadClass = "%1 contained an unexpected object.";
constexpr std::string_view kUnnamedFile = "an unnamed file";

// malloc's header and rounding of one block, roughly: part of what a block costs.
constexpr std::size_t kAllocationOverhead = 16;

// The heap block of a string, when its text does not fit into the string itself.
std::size_t stringMemory(const std::string& text) {
    static const std::size_t inPlace = std::string{}.capacity();
    return text.capacity() > inPlace ? text.capacity() + 1 + kAllocationOverhead : 0;
}

// An entry without its strings: the object, its block and its place in the cache.
constexpr std::size_t kEntryMemory =
    sizeof(CGoogleResultCache) + kAllocationOverhead + sizeof(std::unique_ptr<CGoogleResultCache>);

// Where a list's `count` texts end, without the texts.
std::size_t listEndsMemory(std::size_t count) {
    return count == 0 ? 0 : count * sizeof(std::uint32_t) + kAllocationOverhead;
}

enum class StreamError { None, EndOfFile, General, BadIndex, BadClass };

// Reads the stream; after the end every read fails again.
class Input {
public:
    explicit Input(std::string_view bytes) : m_bytes(bytes) {}

    template <class T>
    bool get(T& value) {
        if (m_bytes.size() - m_at < sizeof(T)) {
            m_at = m_bytes.size();
            return false;
        }
        std::memcpy(&value, m_bytes.data() + m_at, sizeof(T));
        m_at += sizeof(T);
        return true;
    }

    bool take(std::size_t count, std::string_view& bytes) {
        if (m_bytes.size() - m_at < count) {
            m_at = m_bytes.size();
            return false;
        }
        bytes = m_bytes.substr(m_at, count);
        m_at += count;
        return true;
    }

    [[nodiscard]] std::size_t left() const { return m_bytes.size() - m_at; }
    void skipToEnd() { m_at = m_bytes.size(); }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
};

StreamError readLength(Input& in, std::uint64_t& length, bool& unicode) {
    std::uint8_t byte = 0;
    if (!in.get(byte)) {
        return StreamError::EndOfFile;
    }
    if (byte < 0xFF) {
        length = byte;
        return StreamError::None;
    }
    std::uint16_t word = 0;
    if (!in.get(word)) {
        return StreamError::EndOfFile;
    }
    if (word == kUnicodeMarker && !unicode) {
        unicode = true;
        return readLength(in, length, unicode);
    }
    if (word < 0xFFFF) {
        length = word;
        return StreamError::None;
    }
    std::uint32_t dword = 0;
    if (!in.get(dword)) {
        return StreamError::EndOfFile;
    }
    if (dword < 0xFFFFFFFFU) {
        length = dword;
        return StreamError::None;
    }
    std::uint64_t qword = 0;
    if (!in.get(qword)) {
        return StreamError::EndOfFile;
    }
    if (qword > 0x7FFFFFFFU) {
        return StreamError::General;
    }
    length = qword;
    return StreamError::None;
}

StreamError readString(Input& in, std::string& text) {
    std::uint64_t length = 0;
    bool unicode = false;
    if (const StreamError error = readLength(in, length, unicode); error != StreamError::None) {
        return error;
    }
    // A length past the end of the file is an end-of-file error before anything is allocated.
    const std::uint64_t bytes = unicode ? 2 * length : length;
    std::string_view raw;
    if (bytes > in.left() || !in.take(static_cast<std::size_t>(bytes), raw)) {
        in.skipToEnd();
        return StreamError::EndOfFile;
    }
    if (unicode) {
        // Texts of the program hold no zero byte: a UTF-16 text ends at its first zero too, as
        // an ANSI one does, so that what is read writes back and reads back the same.
        utf16BytesToCodePage(raw, text);
    } else {
        text.assign(raw.substr(0, raw.find('\0')));
    }
    return StreamError::None;
}

// The bytes the next `count` texts of `in` take as UTF-8 when they are ASCII (an estimate
// otherwise), without moving `in`; counts only what the file holds.
std::size_t textBytesAhead(Input in, std::uint32_t count) {
    std::size_t total = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t length = 0;
        bool unicode = false;
        std::string_view raw;
        if (readLength(in, length, unicode) != StreamError::None ||
            length > (unicode ? in.left() / 2 : in.left()) ||
            !in.take(static_cast<std::size_t>(unicode ? 2 * length : length), raw)) {
            break;
        }
        total += static_cast<std::size_t>(length);
    }
    return total;
}

class Loader {
public:
    Loader(std::string_view bytes, const std::string& fileName, CacheFileErrors& errors)
        : m_in(bytes), m_fileName(fileName), m_errors(errors),
          m_budget(loadMemoryBudget(bytes.size())),
          m_arena(std::make_shared<TextArena>(bytes.size())) {}

    void run(CGoogleResultCacheArray& cache);

private:
    void report(StreamError error) {
        std::string_view text;
        std::string_view name = kUnnamedFile;
        switch (error) {
        case StreamError::EndOfFile:
            text = kEndOfFile;
            break;
        case StreamError::General:
            text = kGeneralError;
            break;
        case StreamError::BadIndex:
            text = kBadIndex;
            name = m_fileName;
            break;
        case StreamError::BadClass:
            text = kBadClass;
            name = m_fileName;
            break;
        case StreamError::None:
            return;
        }
        std::string message{text};
        message.replace(message.find("%1"), 2, name);
        m_errors.report(message);
    }

    // Counts `bytes` of memory against the budget. Once it is spent, the general error is
    // reported and loading ends.
    bool charge(std::size_t bytes) {
        if (m_overBudget || bytes > m_budget - m_used) {
            if (!m_overBudget) {
                m_overBudget = true;
                report(StreamError::General);
            }
            return false;
        }
        m_used += bytes;
        return true;
    }

    // The class tag of the next entry; BadIndex, BadClass or EndOfFile when there is none.
    StreamError readTag(bool& noObject);
    void readList(CSerStringArray& list);

    Input m_in;
    const std::string& m_fileName;
    CacheFileErrors& m_errors;
    std::uint32_t m_items = 0;      // items in the stream's table so far
    std::uint32_t m_entryClass = 0; // the entry class's index, once read
    std::size_t m_budget;
    // The texts of every list read; a file's texts take at most its size.
    SharedTextArena m_arena;
    std::string m_scratch; // each text on its way into its list, which keeps its own copy
    std::size_t m_used = 0;
    bool m_overBudget = false;
};

StreamError Loader::readTag(bool& noObject) {
    noObject = false;
    std::uint16_t tag = 0;
    if (!m_in.get(tag)) {
        return StreamError::EndOfFile;
    }
    if (tag == kNewClassTag) {
        std::uint16_t schema = 0;
        std::uint16_t nameLength = 0;
        std::string_view name;
        // Any schema is read with the same layout.
        if (!m_in.get(schema) || !m_in.get(nameLength) || nameLength >= kMaxClassName ||
            !m_in.take(nameLength, name) || name != kEntryClass) {
            return StreamError::BadClass;
        }
        m_entryClass = ++m_items;
        return StreamError::None;
    }
    std::uint32_t wide = tag;
    if (tag == kBigTag) {
        if (!m_in.get(wide)) {
            return StreamError::EndOfFile;
        }
    } else {
        wide = (tag & 0x7FFFU) | ((tag & 0x8000U) << 16);
    }
    if (wide == 0) {
        noObject = true;
        return StreamError::None;
    }
    // Only the entry class may be referred to; objects are never written twice.
    if ((wide & kClassBit) == 0 || (wide & ~kClassBit) != m_entryClass || m_entryClass == 0) {
        return StreamError::BadIndex;
    }
    return StreamError::None;
}

void Loader::readList(CSerStringArray& list) {
    list.clear();
    std::uint32_t count = 0;
    std::int32_t index = 0;
    list.currentIndex = -1;
    if (!m_in.get(count) || !m_in.get(index)) {
        report(StreamError::EndOfFile);
        return;
    }
    // Every string takes at least its one-byte length, so a count past the end of the file is
    // the end-of-file error its strings would meet, found before their memory is taken.
    if (count > m_in.left()) {
        m_in.skipToEnd();
        report(StreamError::EndOfFile);
        return;
    }
    // The texts' lengths stand before them: the list's block of texts is sized once, for what
    // the file holds of them, and charged before it is taken.
    const std::size_t textBytes = textBytesAhead(m_in, count);
    if (!charge(listEndsMemory(count) + textBytes)) {
        return;
    }
    list.reserveIn(m_arena, count, textBytes);
    std::size_t charged = list.memoryBytes();
    for (std::uint32_t i = 0; i < count; ++i) {
        if (const StreamError error = readString(m_in, m_scratch); error != StreamError::None) {
            report(error);
            break;
        }
        list.add(m_scratch);
        // What the list's block of texts grew by, at most one doubling past the budget.
        const std::size_t held = list.memoryBytes();
        if (!charge(held - std::min(held, charged))) {
            return;
        }
        charged = std::max(held, charged);
    }
    list.currentIndex = index >= 0 && static_cast<std::size_t>(index) < list.size() ? index : -1;
}

void Loader::run(CGoogleResultCacheArray& cache) {
    cache.clear();
    std::uint32_t count = 0;
    if (!m_in.get(count)) {
        report(StreamError::EndOfFile);
        return;
    }
    for (std::uint32_t n = 0; n < count; ++n) {
        bool noObject = false;
        if (const StreamError error = readTag(noObject); error != StreamError::None) {
            report(error);
            return;
        }
        if (noObject) {
            cache.clear();
            return;
        }
        auto entry = std::make_unique<CGoogleResultCache>();
        ++m_items;
        if (!charge(kEntryMemory)) {
            return;
        }
        StreamError error = readString(m_in, entry->queryWord);
        if (error == StreamError::None &&
            (!m_in.get(entry->estimatedTotal) || !m_in.get(entry->searchedAt.status) ||
             !m_in.get(entry->searchedAt.days))) {
            error = StreamError::EndOfFile;
        }
        if (error != StreamError::None) {
            report(error);
            return;
        }
        if (!charge(stringMemory(entry->queryWord))) {
            return;
        }
        for (CSerStringArray* list :
             {&entry->urls, &entry->titles, &entry->summaries, &entry->snippets,
              &entry->categoryNames, &entry->directoryTitles, &entry->reservedList}) {
            readList(*list);
            if (m_overBudget) {
                return;
            }
        }
        // Rows are read by index from every list, so an entry whose lists differ is dropped.
        // Its lists were read to their end, so the next entry is read as usual.
        if (!hasParallelLists(*entry)) {
            report(StreamError::BadIndex);
            continue;
        }
        cache.add(std::move(entry));
    }
}

} // namespace

std::string writeCacheBytes(const CGoogleResultCacheArray& cache) {
    ByteCount count;
    writeCache(count, cache);
    std::string out;
    out.reserve(count.size);
    writeCache(out, cache);
    return out;
}

std::size_t entryMemory(const CGoogleResultCache& entry) {
    std::size_t total = kEntryMemory + stringMemory(entry.queryWord);
    for (const CSerStringArray* list :
         {&entry.urls, &entry.titles, &entry.summaries, &entry.snippets, &entry.categoryNames,
          &entry.directoryTitles, &entry.reservedList}) {
        total += list->memoryBytes();
    }
    return total;
}

void readCacheBytes(std::string_view bytes, const std::string& fileName,
                    CGoogleResultCacheArray& cache, CacheFileErrors& errors) {
    if (bytes.size() > kMaxCacheFileBytes) {
        refuseOversizedFile(cache, errors);
        return;
    }
    Loader{bytes, fileName, errors}.run(cache);
}

void refuseOversizedFile(CGoogleResultCacheArray& cache, CacheFileErrors& errors) {
    cache.clear();
    std::string message{kGeneralError};
    message.replace(message.find("%1"), 2, kUnnamedFile);
    errors.report(message);
}

} // namespace tarvex::cache
